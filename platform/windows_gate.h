// The one place that includes <windows.h>. Everything Windows-specific includes this header instead, so
// the API level and the trimming of the headers are decided once.
#pragma once

#ifndef _WIN32
#error "windows_gate.h is for the Windows side only"
#endif

// Windows XP is the oldest system the program runs on; declaring it here keeps newer API out of reach.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#endif
#ifndef WINVER
#define WINVER _WIN32_WINNT
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
