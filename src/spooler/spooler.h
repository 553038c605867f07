// The window-free spooler layer both executables share: the system DLLs loaded from the
// system folder, and the spooler calls with the error code each one saw.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "forms/paper_form.h"

// --- System DLLs (system_library.cpp) ---

// The spooler functions the tools use, taken from the system folder's winspool.drv.
struct SpoolerFunctions {
    BOOL(WINAPI* EnumPrintersW)(DWORD, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
    BOOL(WINAPI* GetDefaultPrinterW)(LPWSTR, LPDWORD); // by ordinal 203
    BOOL(WINAPI* OpenPrinterW)(LPWSTR, LPHANDLE, LPPRINTER_DEFAULTSW);
    BOOL(WINAPI* ClosePrinter)(HANDLE);
    BOOL(WINAPI* EnumFormsW)(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
    BOOL(WINAPI* AddFormW)(HANDLE, DWORD, LPBYTE);
    BOOL(WINAPI* SetFormW)(HANDLE, LPWSTR, DWORD, LPBYTE);
    BOOL(WINAPI* DeleteFormW)(HANDLE, LPWSTR);
    BOOL(WINAPI* GetPrinterW)(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD);
    BOOL(WINAPI* SetPrinterW)(HANDLE, DWORD, LPBYTE, DWORD);
    LONG(WINAPI* DocumentPropertiesW)(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW, DWORD);
    int(WINAPI* DeviceCapabilitiesW)(LPCWSTR, LPCWSTR, WORD, LPWSTR, const DEVMODEW*);
};
extern SpoolerFunctions Spooler;

// Takes the current directory out of the DLL search path and, where the system offers it,
// limits the default search to the system folder. Call first thing in the process.
void RestrictDllSearch();
// Loads a DLL by its full path in the system folder, never from the exe's folder.
HMODULE LoadSystemLibrary(const wchar_t* fileName);
// Fills Spooler once. On failure returns false and *missing names the DLL or function.
bool LoadSpoolerFunctions(std::wstring* missing);
// Takes every function from this module; false, with *missing named, when one is absent.
bool ResolveSpoolerFunctions(HMODULE module, SpoolerFunctions* table, std::wstring* missing);
// The one text both tools show when the spooler cannot be loaded.
std::wstring SpoolerMissingText(const std::wstring& missing);

// The system's text for an error code ("未知错误" when it has none).
std::wstring SystemErrorText(DWORD code);

// --- Spooler calls (spooler.cpp); each returns ERROR_SUCCESS or the code it saw ---

// Local printers and connections in the spooler's order (level 4: names only, without
// asking any print server). No printers at all is success with an empty list.
DWORD ListPrinters(std::vector<std::wstring>* names);
// The user's default printer; ERROR_FILE_NOT_FOUND when there is none.
DWORD QueryDefaultPrinter(std::wstring* name);
// Opens a printer with the access asked for; a refused administrative open is retried
// with no defaults, which the spooler grants what the caller may have.
DWORD OpenPrinterFor(const std::wstring& name, DWORD access, HANDLE* printer);
// The printer's form table in the spooler's order (two calls, no retry).
DWORD ReadForms(HANDLE printer, std::vector<PaperForm>* forms);
FORM_INFO_1W BuildFormInfo(const std::wstring& name, int32_t width, int32_t height);
DWORD AddUserForm(HANDLE printer, const std::wstring& name, int32_t width, int32_t height);
// Changes the form stored as key; the record carries recordName (a change of case only).
DWORD SetUserForm(HANDLE printer, const std::wstring& key, const std::wstring& recordName, int32_t width,
                  int32_t height);
DWORD DeleteUserForm(HANDLE printer, const std::wstring& name);
