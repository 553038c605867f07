// The stand-in spooler's persistent state: printers, the server-wide form table and
// injected faults, with the text format it is stored in.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace standin {

// A default paper as the spooler stores it, from the DEVMODE it was handed, with the other
// settings that tell one user's preferences from another's.
struct PaperSetting {
    bool set = false;
    short id = 0;       // dmPaperSize; 0: the record had no DM_PAPERSIZE
    std::wstring form;  // dmFormName; empty: the record had no DM_FORMNAME
    short orientation = 0, duplex = 0, copies = 0;  // 0: the record did not carry it
};

struct Printer {
    std::wstring name;
    bool connection = false;
    std::wstring port;    // empty: the default port
    std::wstring driver;  // empty: the default driver
    // The driver's paper range, tenths of a millimetre; without it, the default range.
    bool hasExtent = false;
    LONG minWidth = 0, minLength = 0, maxWidth = 0, maxLength = 0;
    PaperSetting globalPaper;  // SetPrinterW level 8 (or 2)
    PaperSetting userPaper;    // SetPrinterW level 9, the caller's own
};

struct Form {
    bool hasName = false;
    std::wstring name;
    DWORD flags = FORM_USER;
    LONG cx = 0, cy = 0;
    LONG left = 0, top = 0, right = 0, bottom = 0;
};

struct Fault {
    std::string kind;  // "EnumFormsW.size", "OpenPrinterW", "AddFormW", "SetPrinterW.9", ...
    bool nullAccess = false;  // OpenPrinterW: matches NULL defaults
    DWORD access = 0;         // OpenPrinterW: matches this DesiredAccess
    DWORD code = 0;
    bool once = false;
};

struct State {
    bool admin = true;
    bool standardForms = true;
    std::vector<Printer> printers;
    bool hasDefault = false;
    std::wstring defaultPrinter;
    std::vector<Form> forms;  // stored forms, after the standard ones
    std::vector<Fault> faults;
};

const wchar_t* const kDefaultPort = L"LPT1:";
const wchar_t* const kDefaultDriver = L"Generic / Text Only";

// The FORM_BUILTIN forms of a Windows print server, in its order.
const std::vector<Form>& StandardForms();
// The DMPAPER_ id of the index-th standard form: its place in the table, past the two
// ids (48 and 49) that Windows reserves without a form.
short StandardPaperId(size_t index);
// The table as EnumFormsW lists it: standard forms (if on), then the stored ones.
std::vector<Form> FormTable(const State& state);

// Parses UTF-8 state text. On failure *errorLine is the 1-based line and *error the reason.
bool ParseState(const std::string& text, State* state, int* errorLine, std::string* error);
std::string FormatState(const State& state);
// A quoted string in the state format, with escapes; also used by the call log.
std::string QuoteString(const std::wstring& text);

// Windows folds only A to Z when it compares form and printer names.
bool NamesEqual(const std::wstring& a, const std::wstring& b);
// The printer of that name, or null.
Printer* FindPrinter(State* state, const std::wstring& name);

// The file named by ZELTRA_SPOOLER_STATE, else standin-spooler.txt beside this DLL.
std::wstring StatePath();

// Serialises access to the state file across processes. Locked for the object's life.
class StateLock {
public:
    StateLock();
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

private:
    bool held_ = false;
};

// Reads the state file (a missing file is the default state). On failure returns the
// Win32 error (ERROR_INVALID_DATA for text that does not parse, reported on stderr).
DWORD LoadState(State* state);
// Writes the state file atomically: a temporary file beside it, then a replacing move.
DWORD SaveState(const State& state);
// Writes one UTF-8 line to the process's stderr.
void ReportError(const std::string& text);

}  // namespace standin
