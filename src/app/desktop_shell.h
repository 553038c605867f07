// The desktop's shell, reached from an elevated process, and the vendor link opened through it.
#pragma once

#include <windows.h>

extern const wchar_t VendorAddress[]; // opened on a click of the link

void OpenVendorLink();
// Opens a file or address through the desktop's own shell, with the user's unelevated rights.
// False where that shell cannot be reached; the opening's own result is not reported.
bool ShellExecuteFromDesktop(const wchar_t* file);
// ShellExecuteW, with shell32 loaded from the system folder on first use.
HINSTANCE WINAPI ShellExecuteFromSystem(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder,
                                        INT show);
// What OpenVendorLink calls: first the desktop's shell; where that shell is not there,
// ShellExecuteW from a process that is not elevated, and from an elevated one a box that
// shows the address instead. Tests put their recorders here.
extern bool (*DesktopShellExecuteHook)(const wchar_t* file);
extern HINSTANCE(WINAPI* ShellExecuteHook)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern bool (*ProcessElevatedHook)();
