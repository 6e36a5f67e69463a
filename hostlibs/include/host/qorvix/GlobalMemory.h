// Global memory blocks for clipboard exports: the Win32 API on Windows, a stand-in on Linux.
#pragma once

#include <cstddef>

#if defined(_WIN32)
#include <windows.h>
#else
#include "host/HostApi.h"

using HGLOBAL = void*;
using UINT = unsigned int;
using SIZE_T = size_t;
using LPVOID = void*;
using BOOL = int;

constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_DDESHARE = 0x2000;

/// The same names and contracts as Win32: GlobalAlloc gives a handle (null on failure),
/// GlobalLock its bytes, GlobalUnlock ends the lock, GlobalFree frees and answers null on success.
extern "C" {
QORVIX_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
QORVIX_API LPVOID GlobalLock(HGLOBAL block);
QORVIX_API BOOL GlobalUnlock(HGLOBAL block);
QORVIX_API HGLOBAL GlobalFree(HGLOBAL block);
QORVIX_API SIZE_T GlobalSize(HGLOBAL block);
}
#endif
