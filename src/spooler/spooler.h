// The spooler layer both executables share, on the bottom layer alone: the system DLLs loaded
// from the system folder, and the spooler calls with the error code each one saw.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "core/core.h"

// --- System DLLs (system_library.cpp) ---

// The spooler functions the tools use, taken from the system folder's winspool.drv.
struct SpoolerFunctions {
    decltype(&::EnumPrintersW) EnumPrintersW;
    decltype(&::GetDefaultPrinterW) GetDefaultPrinterW; // by name, else by ordinal 203
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
    decltype(&::GetPrinterDriverDirectoryW) GetPrinterDriverDirectoryW;
};
extern SpoolerFunctions Spooler;

// Takes the current directory out of the DLL search path and, where the system offers it,
// limits the default search to the system folder and the folders added with AddDllDirectory.
// Call first thing in the process.
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
// Fills Spooler once and adds the printer-driver folders to the DLL search path. On failure
// returns false and *missing names the DLL or function.
bool LoadSpoolerFunctions(std::wstring* missing);
// Takes every function from this module; false, with *missing named, when one is absent.
bool ResolveSpoolerFunctions(HMODULE module, SpoolerFunctions* table, std::wstring* missing);

// The code a failed call left; a failure that set none still reads as one (ERROR_GEN_FAILURE).
DWORD LastFailureCode();
// The system's text for an error code ("未知错误" when it has none).
std::wstring SystemErrorText(DWORD code);

// --- Spooler calls (spooler.cpp); each returns ERROR_SUCCESS or the code it saw ---

// Local printers and connections in the spooler's order (level 4: names only, without
// asking any print server). No printers at all is success with an empty list; a spooler that
// cannot be reached is a failure.
DWORD ListPrinters(std::vector<std::wstring>* names);
// The user's default printer; ERROR_FILE_NOT_FOUND when there is none.
DWORD QueryDefaultPrinter(std::wstring* name);
// Opens a printer with the access asked for; a refused administrative open is retried
// with no defaults, which the spooler grants what the caller may have.
DWORD OpenPrinterFor(const std::wstring& name, DWORD access, HANDLE* printer);
// The local print server (OpenPrinterW with a NULL name), whose form table is the PC's: the
// form functions take its handle as they take a printer's. Enumerating needs no more than
// SERVER_ACCESS_ENUMERATE, which every account has; changes need SERVER_ACCESS_ADMINISTER. A
// refused administrative open is retried with no defaults, as OpenPrinterFor does.
DWORD OpenPrintServer(DWORD access, HANDLE* server);
// The handle a form table is read (change false) or changed through: the printer's when one is
// named, else the print server's, so that a PC without a (default) printer has its table too.
DWORD OpenFormTable(const std::wstring& printer, bool change, HANDLE* handle);
// The printer's form table in the spooler's order (two calls, no retry).
DWORD ReadForms(HANDLE printer, std::vector<PaperForm>* forms);
// Opens the table (OpenFormTable: an empty name is the PC's), reads it and closes it again.
// *opened tells a printer or server that could not be opened from a table that could not be read.
DWORD ReadPrinterForms(const std::wstring& printer, std::vector<PaperForm>* forms, bool* opened);
FORM_INFO_1W BuildFormInfo(const std::wstring& name, int32_t width, int32_t height);
DWORD AddUserForm(HANDLE printer, const std::wstring& name, int32_t width, int32_t height);
// Changes the form stored as key; the record carries recordName (a change of case only).
DWORD SetUserForm(HANDLE printer, const std::wstring& key, const std::wstring& recordName, int32_t width,
                  int32_t height);
DWORD DeleteUserForm(HANDLE printer, const std::wstring& name);
// One of the three above: Add and Set write a record called name, Set and Delete change the
// form stored as key.
DWORD ChangeUserForm(HANDLE printer, FormChange change, const std::wstring& key, const std::wstring& name,
                     int32_t width, int32_t height);

// --- Default paper and the driver's paper list (paper_default.cpp) ---

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
// Makes the form the printer's default paper for this account (SetPrinterW level 9) or for
// all users (level 8, then level 9, which would otherwise hide it), then reads it back as
// a browser does. *text is what both tools tell of the outcome; for Failed it is empty and
// *code is the failed call's code.
PaperOutcome SetDefaultPaper(const std::wstring& printer, const PaperForm& form, bool allUsers, DWORD* code,
                             std::wstring* text);
// What SetDefaultPaper would find, read the way a browser reads it and without writing: Already
// when a browser on this account starts on the form and, for all users, the printer's own
// default names it too; WouldChange otherwise; NotOffered when the driver does not list it;
// Failed with *code when something could not be read.
enum class DefaultPaperState { Already, WouldChange, NotOffered, Failed };
DefaultPaperState QueryDefaultPaper(const std::wstring& printer, const PaperForm& form, bool allUsers, DWORD* code);

// --- Accounts (accounts.cpp) ---

// An account as Windows names it: the domain (the computer's name for a local account) and
// the user's name.
struct AccountName {
    std::wstring domain;
    std::wstring user;
};
// The account this process runs as (GetUserNameW).
std::wstring ProcessAccountName();
// The account of this process's token (LookupAccountSidW of its user).
bool ProcessAccount(AccountName* account);
// The user signed in to this process's session (WTSQuerySessionInformationW, with wtsapi32
// from the system folder); false where the query is missing or fails, or names nobody.
bool SessionAccount(AccountName* account);
// Whether the two differ, compared without case as Windows does: an administrator who
// elevated with their own credentials. False where either is unknown.
bool RunsAsAnotherAccount();
// What RunsAsAnotherAccount asks; tests put their own accounts here.
extern bool (*ProcessAccountHook)(AccountName* account);
extern bool (*SessionAccountHook)(AccountName* account);
// Whether this process's token is elevated (TokenElevation); one that cannot be read counts
// as elevated.
bool ProcessIsElevated();

// --- The browsers' paper policy (browser_policy.cpp) ---

struct BrowserPolicyKey {
    const wchar_t* browser; // "Chrome", "Edge"
    const wchar_t* key;     // under HKEY_LOCAL_MACHINE
};
extern const BrowserPolicyKey BrowserPolicyKeys[];
extern const size_t BrowserPolicyCount;
// PrintingPaperSizeDefault as the browser finds it; *present is false when there is none. A
// value that is not a string is present with an empty *value.
DWORD ReadBrowserPaperPolicy(const BrowserPolicyKey& browser, std::wstring* value, bool* present);
// Writing and deleting need administrator rights (ERROR_ACCESS_DENIED otherwise).
DWORD WriteBrowserPaperPolicy(const BrowserPolicyKey& browser, const std::wstring& value);
// *existed says whether there was a value to delete.
DWORD ClearBrowserPaperPolicy(const BrowserPolicyKey& browser, bool* existed);
