// The Windows CE SDK's umbrella header, as far as this program needs it.
#pragma once

#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <kfuncs.h>
#include <winreg.h>
#include <wingdi.h>
#include <winuser.h>
#include <pkfuncs.h>
#include <cemem.h>
#include <cewchar.h>
