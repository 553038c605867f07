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
    decltype(&::EnumPrintersW) EnumPrintersW;
    decltype(&::GetDefaultPrinterW) GetDefaultPrinterW; // by ordinal 203
    decltype(&::OpenPrinterW) OpenPrinterW;
    decltype(&::ClosePrinter) ClosePrinter;
    decltype(&::EnumFormsW) EnumFormsW;
    decltype(&::AddFormW) AddFormW;
    decltype(&::SetFormW) SetFormW;
    decltype(&::DeleteFormW) DeleteFormW;
    decltype(&::GetPrinterW) GetPrinterW;
    decltype(&::SetPrinterW) SetPrinterW;
    decltype(&::DocumentPropertiesW) DocumentPropertiesW;
    decltype(&::DeviceCapabilitiesW) DeviceCapabilitiesW;
};
extern SpoolerFunctions Spooler;

// Takes the current directory out of the DLL search path and, where the system offers it,
// limits the default search to the system folder. Call first thing in the process.
void RestrictDllSearch();
// Loads a DLL by its full path in the system folder, never from the exe's folder.
HMODULE LoadSystemLibrary(const wchar_t* fileName);
// A function of a DLL in the system folder (LoadSystemLibrary); null when either is missing.
// Every DLL the tools load at run time is reached through here or LoadSpoolerFunctions.
FARPROC LoadSystemFunction(const wchar_t* fileName, const char* name);
template <typename Function>
Function SystemFunction(const wchar_t* fileName, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(LoadSystemFunction(fileName, name)));
}
// Fills Spooler once. On failure returns false and *missing names the DLL or function.
bool LoadSpoolerFunctions(std::wstring* missing);
// Takes every function from this module; false, with *missing named, when one is absent.
bool ResolveSpoolerFunctions(HMODULE module, SpoolerFunctions* table, std::wstring* missing);
// The one text both tools show when the spooler cannot be loaded.
std::wstring SpoolerMissingText(const std::wstring& missing);

// The code a failed call left; a failure that set none still reads as one (ERROR_GEN_FAILURE).
DWORD LastFailureCode();
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

// --- Default paper and the driver's paper list (paper_default.cpp) ---

// One paper of the driver's list, as DeviceCapabilitiesW gives it.
struct DriverPaper {
    WORD id = 0;
    std::wstring name;
    LONG width = 0;  // tenths of a millimetre
    LONG height = 0; // tenths of a millimetre
};

// What the driver says of one form: whether it lists it, and its size limits.
struct PaperCheck {
    bool offered = false;
    DriverPaper paper;       // when offered
    bool rangeKnown = false; // DC_MINEXTENT / DC_MAXEXTENT answered
    LONG minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0; // tenths of a millimetre
};

enum class PaperOutcome {
    Done,        // the default now resolves to the form
    NotOffered,  // the driver does not list the form: nothing was written
    Failed,      // a spooler or driver call failed with *code
    NotAccepted, // every call succeeded, yet the default does not resolve to the form
};

// The driver's papers for a printer (DC_PAPERS, DC_PAPERNAMES, DC_PAPERSIZE).
DWORD ReadDriverPapers(const std::wstring& printer, std::vector<DriverPaper>* papers);
// The form's place in the driver's list: by name (A to Z folded), else by size within
// 0.1 mm; -1 when it is not there.
int FindDriverPaper(const std::vector<DriverPaper>& papers, const PaperForm& form);
// The paper a browser starts on: the default DEVMODE's dmPaperSize among DC_PAPERS.
// *name is the driver's name for it, or empty when the id is not in the list (*id tells).
DWORD ReadDefaultPaper(const std::wstring& printer, std::wstring* name, WORD* id);
// Whether the driver lists the form, and the range it takes.
DWORD CheckDriverPaper(const std::wstring& printer, const PaperForm& form, PaperCheck* check);
// The check as the user reads it: the id and driver size, or the likely reason it is missing.
std::wstring DescribePaperCheck(const std::wstring& printer, const PaperForm& form, const PaperCheck& check);
// Makes the form the printer's default paper for this account (SetPrinterW level 9) or for
// all users (level 8, then level 9, which would otherwise hide it), then reads it back as
// a browser does. *code is the failed call's code for Failed; *current the paper found
// instead for NotAccepted.
PaperOutcome SetDefaultPaper(const std::wstring& printer, const PaperForm& form, bool allUsers, DWORD* code,
                             std::wstring* current);
// The account this process runs as, and whether it differs from the one signed in to the
// desktop (an administrator who elevated with their own credentials).
std::wstring ProcessAccountName();
bool RunsAsAnotherAccount();
// The success text: printer, form, the account or all users, and the note on browsers.
std::wstring DefaultPaperSetText(const std::wstring& printer, const std::wstring& form, bool allUsers);

// --- Form rules both tools apply (form_rules.cpp) ---

// The table position of the form called name, A to Z folded as the spooler matches names;
// -1 when there is none.
int FindFormByName(const std::vector<PaperForm>& forms, const std::wstring& name);
