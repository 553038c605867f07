// Control functions of the stand-in print spooler (test and demo support only).
// The state lives in a text file named by ZELTRA_SPOOLER_STATE; see demo-state.txt.
#pragma once

#include <windows.h>

#ifdef ZELTRA_STANDIN_BUILD
#define STANDIN_API extern "C" __declspec(dllexport)
#else
#define STANDIN_API extern "C" __declspec(dllimport)
#endif

// Replace the whole state (file format, UTF-8). FALSE if it does not parse; the file is then untouched.
STANDIN_API BOOL WINAPI StandInSetState(const char* utf8Text);
// Copy the current state text (UTF-8, NUL-terminated) into buffer; returns the bytes needed
// including the NUL. The text is the file as the spooler would write it.
STANDIN_API DWORD WINAPI StandInGetState(char* buffer, DWORD size);
// Calls made to one exported spooler function by name ("OpenPrinterW", "EnumFormsW", ...);
// NULL gives the calls to all of them.
STANDIN_API DWORD WINAPI StandInCallCount(const char* function);
// Printer handles open now, and the most open at once since the last reset.
STANDIN_API LONG WINAPI StandInOpenHandles();
STANDIN_API LONG WINAPI StandInMaxOpenHandles();
// Clears call counts and the log, and sets the maximum to the handles open now.
STANDIN_API void WINAPI StandInResetCounters();
// The call log since the last reset, one line per call ("OpenPrinterW ..."), UTF-8,
// NUL-terminated; returns the bytes needed including the NUL.
STANDIN_API DWORD WINAPI StandInGetLog(char* buffer, DWORD size);
