// The DirectShow base classes: a static library (strmbase) that filter libraries link.
#pragma once

#include <dshow.h>

#include <amfilter.h>
#include <combase.h>
#include <mtype.h>
#include <wxutil.h>

#define NAME(x) (x)
#ifndef NOERROR
#define NOERROR S_OK
#endif
