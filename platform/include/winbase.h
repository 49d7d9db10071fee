#pragma once

#include <windef.h>

extern "C" HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName);
