// winspool.drv stand-in: the spooler's printer and form functions over a state file,
// a printer driver's paper lists and default settings, plus control functions for tests.
// Every call re-reads the file, so other processes' changes are seen at once, and every
// change is written back before the call returns.
#include "standin.h"
#include "standin_driver.h"
#include "standin_state.h"

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

using standin::Fault;
using standin::Form;
using standin::Paper;
using standin::PaperSetting;
using standin::Printer;
using standin::State;

namespace {

// --- Per-process bookkeeping: handles, counters, the call log ---

struct HandleInfo {
    bool server = false;  // opened with a NULL name: the local print server
    DWORD granted = 0;
    std::wstring printer;  // the name as the state lists it
};

// Handle values lie above 4 GB and are never reused, so a truncated or stale handle
// is rejected rather than taken for another printer.
const uintptr_t kHandleBase = 0x00005A0000000000ull;
const uintptr_t kHandleStep = 0x10;

SRWLOCK g_lock = SRWLOCK_INIT;
std::map<HANDLE, HandleInfo> g_handles;
uintptr_t g_nextHandle = 1;
LONG g_maxOpen = 0;
std::map<std::string, DWORD> g_counts;
std::string g_log;

class Guard {
public:
    Guard() { AcquireSRWLockExclusive(&g_lock); }
    ~Guard() { ReleaseSRWLockExclusive(&g_lock); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

std::string HandleText(HANDLE h) {
    const uintptr_t v = reinterpret_cast<uintptr_t>(h);
    if (v > kHandleBase && (v - kHandleBase) % kHandleStep == 0) {
        return "#" + std::to_string((v - kHandleBase) / kHandleStep);
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
    return text;
}

std::string Hex8(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string Quoted(const wchar_t* text) {
    return text ? standin::QuoteString(text) : std::string("null");
}

void AppendToLogFile(const std::string& line) {
    wchar_t path[1024];
    const DWORD n = GetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", path, 1024);
    if (n == 0 || n >= 1024) return;
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

// One exported call: counted when it starts, logged with its outcome when it ends.
// The last error the caller sees is set after everything else, and a success leaves
// the caller's value as it was unless the call says otherwise.
class Call {
public:
    Call(const char* function, std::string args)
        : function_(function), args_(std::move(args)), callerError_(GetLastError()) {
        Guard guard;
        ++g_counts[function_];
    }

    BOOL Fail(DWORD error, const std::string& detail = std::string()) {
        return FailWith(FALSE, "FALSE", error, detail);
    }
    // Functions that return a count or a size: -1 (or another value) with the error.
    LONG FailValue(DWORD error, const std::string& detail = std::string(), LONG value = -1) {
        return FailWith(value, std::to_string(value), error, detail);
    }
    LONG Return(LONG value, const std::string& detail = std::string()) {
        Log(std::to_string(value) + (detail.empty() ? "" : " " + detail) + (fault_ ? " (fault)" : ""));
        SetLastError(callerError_);
        return value;
    }
    // A failure that sets no code, as some spoolers answer.
    BOOL FailKeepingError(const std::string& detail) {
        Log("FALSE error=unchanged " + detail + (fault_ ? " (fault)" : ""));
        SetLastError(callerError_);
        return FALSE;
    }
    BOOL Succeed(const std::string& detail = std::string()) {
        Log("TRUE" + (detail.empty() ? "" : " " + detail));
        SetLastError(callerError_);
        return TRUE;
    }
    BOOL SucceedSettingError(DWORD error, const std::string& detail = std::string()) {
        Succeed(detail);
        SetLastError(error);
        return TRUE;
    }
    void SetFault() { fault_ = true; }
    void AddArgs(const std::string& more) { args_ += more; }

private:
    LONG FailWith(LONG value, const std::string& shown, DWORD error, const std::string& detail) {
        Log(shown + " error=" + std::to_string(error) + (detail.empty() ? "" : " " + detail) +
            (fault_ ? " (fault)" : ""));
        SetLastError(error);
        return value;
    }
    void Log(const std::string& result) {
        const std::string line = function_ + (args_.empty() ? "" : " " + args_) + " -> " + result + "\n";
        {
            Guard guard;
            g_log += line;
        }
        AppendToLogFile(line);
    }

    std::string function_;
    std::string args_;
    DWORD callerError_;
    bool fault_ = false;
};

bool LookUpHandle(HANDLE h, HandleInfo* info) {
    Guard guard;
    const auto it = g_handles.find(h);
    if (it == g_handles.end()) return false;
    *info = it->second;
    return true;
}

// --- Faults ---

// Finds the first fault of this kind that matches; a "once" fault is removed from the
// state and the file rewritten, so the next call (in any process) runs normally.
bool TakeFault(State* state, const std::string& kind, DWORD* code, bool nullAccess = false,
               DWORD access = 0) {
    for (size_t i = 0; i < state->faults.size(); ++i) {
        const Fault& f = state->faults[i];
        if (f.kind != kind) continue;
        if (kind == "OpenPrinterW" && (f.nullAccess != nullAccess || (!nullAccess && f.access != access))) {
            continue;
        }
        *code = f.code;
        if (f.once) {
            state->faults.erase(state->faults.begin() + static_cast<std::ptrdiff_t>(i));
            standin::SaveState(*state);
        }
        return true;
    }
    return false;
}

// --- Packing records and their strings into the caller's buffer ---

// Strings go after all records, in record order. With a NULL buffer it only counts.
class Packer {
public:
    Packer(BYTE* buffer, size_t recordBytes) : buffer_(buffer), used_(recordBytes) {}
    LPWSTR Put(const std::wstring& text) {
        const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        LPWSTR at = nullptr;
        if (buffer_) {
            at = reinterpret_cast<LPWSTR>(buffer_ + used_);
            std::memcpy(at, text.c_str(), bytes);
        }
        used_ += bytes;
        return at;
    }
    // Raw bytes, such as a DEVMODE, on an 8-byte boundary.
    void* PutBytes(const std::vector<BYTE>& bytes) {
        used_ = (used_ + 7) & ~static_cast<size_t>(7);
        void* at = nullptr;
        if (buffer_) {
            at = buffer_ + used_;
            std::memcpy(at, bytes.data(), bytes.size());
        }
        used_ += bytes.size();
        return at;
    }
    template <typename Record>
    void PutRecord(size_t index, const Record& record) {
        if (buffer_) std::memcpy(buffer_ + index * sizeof(Record), &record, sizeof(Record));
    }
    size_t Used() const { return used_; }

private:
    BYTE* buffer_;
    size_t used_;
};

// --- Printers ---

void SplitConnection(const std::wstring& name, std::wstring* server, std::wstring* share) {
    server->clear();
    share->clear();
    if (name.compare(0, 2, L"\\\\") != 0) return;
    const size_t slash = name.find(L'\\', 2);
    *server = name.substr(0, slash);
    if (slash != std::wstring::npos) *share = name.substr(slash + 1);
}

// devMode, when given, is every level-2 record's pDevMode, packed ahead of its strings.
size_t PackPrinters(const std::vector<const Printer*>& list, DWORD level, BYTE* buffer,
                    const std::vector<BYTE>& devMode = std::vector<BYTE>()) {
    const size_t recordSize = level == 1 ? sizeof(PRINTER_INFO_1W)
                              : level == 2 ? sizeof(PRINTER_INFO_2W)
                                           : sizeof(PRINTER_INFO_4W);
    Packer pack(buffer, recordSize * list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const Printer& p = *list[i];
        const std::wstring driver = p.driver.empty() ? standin::kDefaultDriver : p.driver;
        const std::wstring port = p.port.empty() ? standin::kDefaultPort : p.port;
        std::wstring server, share;
        if (p.connection) SplitConnection(p.name, &server, &share);
        const DWORD attributes = p.connection ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL;
        if (level == 1) {
            PRINTER_INFO_1W r = {};
            r.Flags = PRINTER_ENUM_ICON8;
            r.pDescription = pack.Put(p.name + L"," + driver + L",");
            r.pName = pack.Put(p.name);
            r.pComment = pack.Put(L"");
            pack.PutRecord(i, r);
        } else if (level == 2) {
            PRINTER_INFO_2W r = {};
            if (!devMode.empty()) r.pDevMode = static_cast<DEVMODEW*>(pack.PutBytes(devMode));
            if (!server.empty()) r.pServerName = pack.Put(server);
            r.pPrinterName = pack.Put(p.name);
            if (!share.empty()) r.pShareName = pack.Put(share);
            r.pPortName = pack.Put(port);
            r.pDriverName = pack.Put(driver);
            r.pPrintProcessor = pack.Put(L"winprint");
            r.pDatatype = pack.Put(L"RAW");
            r.Attributes = attributes;
            r.Priority = 1;
            pack.PutRecord(i, r);
        } else {
            PRINTER_INFO_4W r = {};
            r.pPrinterName = pack.Put(p.name);
            if (!server.empty()) r.pServerName = pack.Put(server);
            r.Attributes = attributes;
            pack.PutRecord(i, r);
        }
    }
    return pack.Used();
}

// --- Forms ---

size_t PackForms(const std::vector<Form>& table, DWORD level, BYTE* buffer) {
    const size_t recordSize = level == 1 ? sizeof(FORM_INFO_1W) : sizeof(FORM_INFO_2W);
    Packer pack(buffer, recordSize * table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        const Form& f = table[i];
        FORM_INFO_2W r = {};
        r.Flags = f.flags;
        r.pName = f.hasName ? pack.Put(f.name) : nullptr;
        r.Size.cx = f.cx;
        r.Size.cy = f.cy;
        r.ImageableArea.left = f.left;
        r.ImageableArea.top = f.top;
        r.ImageableArea.right = f.right;
        r.ImageableArea.bottom = f.bottom;
        if (level == 1) {
            FORM_INFO_1W r1;
            std::memcpy(&r1, &r, sizeof r1);  // FORM_INFO_2W begins with FORM_INFO_1W's fields
            pack.PutRecord(i, r1);
        } else {
            r.StringType = 1;  // STRING_NONE: pDisplayName is the name itself
            r.pDisplayName = r.pName;
            pack.PutRecord(i, r);
        }
    }
    return pack.Used();
}

// First form of the table with this name, or -1.
int FindForm(const std::vector<Form>& table, const std::wstring& name, int skip = -1) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (static_cast<int>(i) != skip && table[i].hasName && standin::NamesEqual(table[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string FormText(const FORM_INFO_1W* f) {
    if (!f) return "form=null";
    return "form=" + Quoted(f->pName) + " flags=" + std::to_string(f->Flags) + " size=" +
           std::to_string(f->Size.cx) + "x" + std::to_string(f->Size.cy) + " area=" +
           std::to_string(f->ImageableArea.left) + "," + std::to_string(f->ImageableArea.top) + "," +
           std::to_string(f->ImageableArea.right) + "," + std::to_string(f->ImageableArea.bottom);
}

// The checks AddFormW and SetFormW make of the record itself.
DWORD CheckFormRecord(const FORM_INFO_1W* f) {
    if (!f || !f->pName || f->pName[0] == L'\0') return ERROR_INVALID_PARAMETER;
    if (std::wcslen(f->pName) > 31) return ERROR_INVALID_PARAMETER;
    if (f->Flags != FORM_USER && f->Flags != FORM_BUILTIN && f->Flags != FORM_PRINTER) {
        return ERROR_INVALID_PARAMETER;
    }
    const RECTL& a = f->ImageableArea;
    if (f->Size.cx <= 0 || f->Size.cy <= 0 || a.left < 0 || a.top < 0 || a.right > f->Size.cx ||
        a.bottom > f->Size.cy || a.left >= a.right || a.top >= a.bottom) {
        return ERROR_INVALID_FORM_SIZE;
    }
    return ERROR_SUCCESS;
}

Form FormFromRecord(const FORM_INFO_1W* f) {
    Form form;
    form.hasName = true;
    form.name = f->pName;
    form.flags = f->Flags;
    form.cx = f->Size.cx;
    form.cy = f->Size.cy;
    form.left = f->ImageableArea.left;
    form.top = f->ImageableArea.top;
    form.right = f->ImageableArea.right;
    form.bottom = f->ImageableArea.bottom;
    return form;
}

// Another client's form, named apart from every form there is, whole sheet printable.
Form OtherClientForm(const State& state, LONG cx, LONG cy) {
    const std::vector<Form> table = standin::FormTable(state);
    Form added;
    added.hasName = true;
    added.name = L"Other client form";
    for (int n = 2; FindForm(table, added.name) >= 0; ++n) added.name = L"Other client form " + std::to_wstring(n);
    added.cx = added.right = cx;
    added.cy = added.bottom = cy;
    return added;
}

bool CanAdminister(const HandleInfo& h) {
    return (h.granted & (h.server ? SERVER_ACCESS_ADMINISTER : PRINTER_ACCESS_ADMINISTER)) != 0;
}

bool LevelOneOrTwo(DWORD level) { return level == 1 || level == 2; }

BOOL NotSupported(const char* function) {
    Call call(function, std::string());
    return call.Fail(ERROR_NOT_SUPPORTED);
}

// --- The driver's side: papers and DEVMODE records ---

bool CanUse(const HandleInfo& h) { return (h.granted & (PRINTER_ACCESS_USE | PRINTER_ACCESS_ADMINISTER)) != 0; }

std::string PaperText(const Paper& p) { return std::to_string(p.id) + " " + standin::QuoteString(p.name); }

// A caller's DEVMODE in the log: its paper id and form name, "-" for a field it does not set.
std::string DevModeText(const DEVMODEW* dm) {
    if (!dm) return "null";
    if (standin::CheckDevMode(dm) != ERROR_SUCCESS) return "invalid";
    const PaperSetting s = standin::PaperOf(dm);
    return ((dm->dmFields & DM_PAPERSIZE) ? std::to_string(s.id) : std::string("-")) + " " +
           ((dm->dmFields & DM_FORMNAME) ? standin::QuoteString(s.form) : std::string("-"));
}

std::string CapabilityText(WORD capability) {
    const struct {
        WORD value;
        const char* name;
    } names[] = {{DC_PAPERS, "DC_PAPERS"},       {DC_PAPERNAMES, "DC_PAPERNAMES"}, {DC_PAPERSIZE, "DC_PAPERSIZE"},
                 {DC_MINEXTENT, "DC_MINEXTENT"}, {DC_MAXEXTENT, "DC_MAXEXTENT"},   {DC_FIELDS, "DC_FIELDS"},
                 {DC_SIZE, "DC_SIZE"},           {DC_EXTRA, "DC_EXTRA"}};
    for (const auto& n : names) {
        if (n.value == capability) return n.name;
    }
    return std::to_string(capability);
}

std::vector<BYTE> SettingDevMode(const Printer& p, const PaperSetting& s) {
    return standin::MakeDevMode(p.name, s.id, s.form, s);
}

// The size of the caller's msvcrt heap block that starts at p, or 0 when p starts none (a
// buffer on the stack, say): how a driver's overrun of a block it was given is seen.
size_t HeapBlockSize(const void* p) {
    const HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    if (!heap || !HeapValidate(heap, 0, p)) return 0;
    const SIZE_T size = HeapSize(heap, 0, p);
    return size == static_cast<SIZE_T>(-1) ? 0 : size;
}

// Writes the driver's DEVMODE as a driver would, whatever the caller's block holds, except
// that nothing lands past a heap block that is too small: that is logged instead.
std::string WriteDevMode(std::vector<BYTE> out, State* state, DEVMODEW* target, bool* faulted) {
    DWORD value = 0;
    DEVMODEW* dm = reinterpret_cast<DEVMODEW*>(out.data());
    if (TakeFault(state, "DocumentPropertiesW.dmsize", &value)) {
        dm->dmSize = static_cast<WORD>(value);
        *faulted = true;
    }
    if (TakeFault(state, "DocumentPropertiesW.extra", &value)) {
        dm->dmDriverExtra = static_cast<WORD>(value);
        *faulted = true;
    }
    if (TakeFault(state, "DocumentPropertiesW.paper-width", &value)) {
        dm->dmFields |= DM_PAPERWIDTH;  // an explicit width beside the paper's id
        dm->dmPaperWidth = static_cast<short>(value);
        *faulted = true;
    }
    const size_t block = HeapBlockSize(target);
    if (block != 0 && block < out.size()) {
        std::memcpy(target, out.data(), block);
        return " out block too small: " + std::to_string(block) + " of " + std::to_string(out.size()) + " bytes";
    }
    std::memcpy(target, out.data(), out.size());
    return std::string();
}

// The printer's global default as the spooler holds it: what was set, else the driver's.
std::vector<BYTE> GlobalDevMode(const State& state, const Printer& p) {
    if (p.globalPaper.set) return SettingDevMode(p, p.globalPaper);
    const Paper paper = standin::DefaultPaper(standin::DriverPapers(state, p));
    return standin::MakeDevMode(p.name, paper.id, paper.name);
}

LONG Tenths(LONG thousandths) { return (thousandths + 50) / 100; }

LONG Clamp(LONG value, LONG low, LONG high) { return value < low ? low : value > high ? high : value; }

}  // namespace

// ---------------------------------------------------------------------------------
// Spooler functions
// ---------------------------------------------------------------------------------

extern "C" {

BOOL WINAPI EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
    Call call("EnumPrintersW", "flags=" + Hex8(Flags) + (Name ? " name=" + Quoted(Name) : "") +
                                   " level=" + std::to_string(Level) + " size=" + std::to_string(cbBuf));
    if (Level != 1 && Level != 2 && Level != 4) return call.Fail(ERROR_INVALID_LEVEL);
    if (!pcbNeeded || !pcReturned) return call.Fail(RPC_X_NULL_REF_POINTER);
    *pcReturned = 0;
    // Only this machine's spooler is stood in for.
    if (Name && Name[0]) return call.Fail(ERROR_INVALID_NAME);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);

    std::vector<const Printer*> list;
    for (const Printer& p : state.printers) {
        if (Flags & PRINTER_ENUM_DEFAULT) {
            if (state.hasDefault && standin::NamesEqual(p.name, state.defaultPrinter) && list.empty()) {
                list.push_back(&p);
            }
        } else if (p.connection ? (Flags & PRINTER_ENUM_CONNECTIONS) != 0
                                : (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME)) != 0) {
            list.push_back(&p);
        }
    }
    const DWORD needed = static_cast<DWORD>(PackPrinters(list, Level, nullptr));
    const bool sizing = !pPrinterEnum || cbBuf == 0 || cbBuf < needed;
    DWORD code;
    if (sizing) {
        if (TakeFault(&state, "EnumPrintersW.size", &code)) {
            call.SetFault();
            *pcbNeeded = 0;
            return call.Fail(code, "needed=0 returned=0");
        }
        if (needed == 0) {
            *pcbNeeded = 0;
            return call.SucceedSettingError(0, "needed=0 returned=0");
        }
        *pcbNeeded = needed;
        return call.Fail(ERROR_INSUFFICIENT_BUFFER, "needed=" + std::to_string(needed) + " returned=0");
    }
    *pcbNeeded = needed;
    if (TakeFault(&state, "EnumPrintersW.fill", &code)) {
        call.SetFault();
        return call.Fail(code, "needed=" + std::to_string(needed) + " returned=0");
    }
    PackPrinters(list, Level, pPrinterEnum);
    *pcReturned = static_cast<DWORD>(list.size());
    if (TakeFault(&state, "EnumPrintersW.count", &code)) {
        // More records claimed than the buffer holds.
        call.SetFault();
        *pcReturned = code;
        return call.Succeed("needed=" + std::to_string(needed) + " returned=" + std::to_string(code) + " (fault)");
    }
    return call.Succeed("needed=" + std::to_string(needed) + " returned=" + std::to_string(list.size()));
}

BOOL WINAPI GetDefaultPrinterW(LPWSTR pszBuffer, LPDWORD pcchBuffer) {
    Call call("GetDefaultPrinterW", std::string(pszBuffer ? "buffer" : "buffer=null") + " count=" +
                                        (pcchBuffer ? std::to_string(*pcchBuffer) : std::string("null")));
    if (!pcchBuffer) return call.Fail(ERROR_INVALID_PARAMETER);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);
    DWORD code;
    if (TakeFault(&state, "GetDefaultPrinterW", &code)) {
        call.SetFault();
        return call.Fail(code);
    }
    if (!state.hasDefault) return call.Fail(ERROR_FILE_NOT_FOUND);
    const DWORD needed = static_cast<DWORD>(state.defaultPrinter.size() + 1);
    if (!pszBuffer || *pcchBuffer < needed) {
        *pcchBuffer = needed;
        return call.Fail(ERROR_INSUFFICIENT_BUFFER, "count=" + std::to_string(needed));
    }
    std::memcpy(pszBuffer, state.defaultPrinter.c_str(), needed * sizeof(wchar_t));
    *pcchBuffer = needed;
    return call.Succeed(Quoted(pszBuffer) + " count=" + std::to_string(needed));
}

BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
    const bool nullDefaults = pDefault == nullptr;
    const DWORD desired = nullDefaults ? 0 : pDefault->DesiredAccess;
    Call call("OpenPrinterW",
              Quoted(pPrinterName) + " access=" + (nullDefaults ? std::string("null") : Hex8(desired)));
    if (!phPrinter) return call.Fail(ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);
    DWORD code;
    if (TakeFault(&state, "OpenPrinterW", &code, nullDefaults, desired)) {
        call.SetFault();
        return call.Fail(code);
    }

    // A NULL name opens the local print server, as on Windows.
    const bool server = pPrinterName == nullptr;
    if (!server) {
        bool known = false;
        for (const Printer& p : state.printers) known = known || standin::NamesEqual(p.name, pPrinterName);
        if (!pPrinterName[0] || !known) return call.Fail(ERROR_INVALID_PRINTER_NAME);
    }

    const DWORD all = server ? SERVER_ALL_ACCESS : PRINTER_ALL_ACCESS;
    const DWORD read = server ? SERVER_READ : PRINTER_READ;
    const DWORD adminBit = server ? SERVER_ACCESS_ADMINISTER : PRINTER_ACCESS_ADMINISTER;
    DWORD granted = desired & ~(GENERIC_ALL | GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | MAXIMUM_ALLOWED);
    if (desired & GENERIC_ALL) granted |= all;
    if (desired & GENERIC_READ) granted |= read;
    if (desired & GENERIC_WRITE) granted |= server ? SERVER_WRITE : PRINTER_WRITE;
    if (desired & GENERIC_EXECUTE) granted |= server ? SERVER_EXECUTE : PRINTER_EXECUTE;
    if (!state.admin && (granted & adminBit)) return call.Fail(ERROR_ACCESS_DENIED);
    if (desired & MAXIMUM_ALLOWED) granted |= state.admin ? all : read;
    if (desired == 0) granted = server ? SERVER_ACCESS_ENUMERATE : PRINTER_ACCESS_USE;

    HANDLE handle;
    {
        Guard guard;
        handle = reinterpret_cast<HANDLE>(kHandleBase + kHandleStep * g_nextHandle++);
        HandleInfo info;
        info.server = server;
        info.granted = granted;
        if (!server) info.printer = standin::FindPrinter(&state, pPrinterName)->name;
        g_handles[handle] = info;
        const LONG open = static_cast<LONG>(g_handles.size());
        if (open > g_maxOpen) g_maxOpen = open;
    }
    *phPrinter = handle;
    return call.Succeed("handle=" + HandleText(handle) + " granted=" + Hex8(granted));
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
    Call call("ClosePrinter", "handle=" + HandleText(hPrinter));
    bool known;
    {
        Guard guard;
        known = g_handles.erase(hPrinter) != 0;
    }
    if (!known) return call.Fail(ERROR_INVALID_HANDLE);
    // Real spoolers may clear the last error on success; callers must read it before.
    return call.SucceedSettingError(0);
}

BOOL WINAPI EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded,
                       LPDWORD pcReturned) {
    Call call("EnumFormsW", "handle=" + HandleText(hPrinter) + " level=" + std::to_string(Level) +
                                " size=" + std::to_string(cbBuf));
    HandleInfo handle;
    if (!LookUpHandle(hPrinter, &handle)) return call.Fail(ERROR_INVALID_HANDLE);
    if (!LevelOneOrTwo(Level)) return call.Fail(ERROR_INVALID_LEVEL);
    if (!pcbNeeded || !pcReturned) return call.Fail(RPC_X_NULL_REF_POINTER);
    *pcReturned = 0;

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);
    const std::vector<Form> table = standin::FormTable(state);
    const DWORD needed = static_cast<DWORD>(PackForms(table, Level, nullptr));
    const std::string sizes = "needed=" + std::to_string(needed);
    const bool sizing = !pForm || cbBuf == 0 || cbBuf < needed;
    DWORD code;
    if (sizing) {
        if (TakeFault(&state, "EnumFormsW.size", &code)) {
            call.SetFault();
            *pcbNeeded = 0;
            return call.Fail(code, "needed=0 returned=0");
        }
        if (TakeFault(&state, "EnumFormsW.silent", &code)) {
            // An empty answer that sets no code: the caller's last error stays as it was.
            call.SetFault();
            *pcbNeeded = 0;
            return call.FailKeepingError("needed=0 returned=0");
        }
        if (TakeFault(&state, "EnumFormsW.grow", &code)) {
            // Another client adds a form right after this call measured the table.
            call.SetFault();
            state.forms.push_back(OtherClientForm(state, 100000, 150000));
            standin::SaveState(state);
        } else if (needed == 0) {
            *pcbNeeded = 0;
            return call.SucceedSettingError(0, "needed=0 returned=0");
        }
        *pcbNeeded = needed;
        return call.Fail(ERROR_INSUFFICIENT_BUFFER, sizes + " returned=0");
    }
    *pcbNeeded = needed;
    if (TakeFault(&state, "EnumFormsW.fill", &code)) {
        call.SetFault();
        return call.Fail(code, sizes + " returned=0");
    }
    PackForms(table, Level, pForm);
    *pcReturned = static_cast<DWORD>(table.size());
    if (TakeFault(&state, "EnumFormsW.count", &code)) {
        // More records claimed than the buffer holds.
        call.SetFault();
        *pcReturned = code;
        return call.Succeed(sizes + " returned=" + std::to_string(code) + " (fault)");
    }
    return call.Succeed(sizes + " returned=" + std::to_string(table.size()));
}

BOOL WINAPI AddFormW(HANDLE hPrinter, DWORD Level, LPBYTE pForm) {
    const FORM_INFO_1W* record = reinterpret_cast<const FORM_INFO_1W*>(pForm);
    Call call("AddFormW", "handle=" + HandleText(hPrinter) + " level=" + std::to_string(Level) + " " +
                              (LevelOneOrTwo(Level) ? FormText(record) : std::string()));
    HandleInfo handle;
    if (!LookUpHandle(hPrinter, &handle)) return call.Fail(ERROR_INVALID_HANDLE);
    if (!LevelOneOrTwo(Level)) return call.Fail(ERROR_INVALID_LEVEL);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);
    DWORD code;
    if (TakeFault(&state, "AddFormW", &code)) {
        call.SetFault();
        return call.Fail(code);
    }
    if (!CanAdminister(handle)) return call.Fail(ERROR_ACCESS_DENIED);
    if (const DWORD error = CheckFormRecord(record)) return call.Fail(error);
    if (FindForm(standin::FormTable(state), record->pName) >= 0) return call.Fail(ERROR_FILE_EXISTS);

    state.forms.push_back(FormFromRecord(record));
    if (const DWORD error = standin::SaveState(state)) return call.Fail(error);
    return call.Succeed();
}

BOOL WINAPI SetFormW(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, LPBYTE pForm) {
    const FORM_INFO_1W* record = reinterpret_cast<const FORM_INFO_1W*>(pForm);
    Call call("SetFormW", "handle=" + HandleText(hPrinter) + " name=" + Quoted(pFormName) + " level=" +
                              std::to_string(Level) + " " +
                              (LevelOneOrTwo(Level) ? FormText(record) : std::string()));
    HandleInfo handle;
    if (!LookUpHandle(hPrinter, &handle)) return call.Fail(ERROR_INVALID_HANDLE);
    if (!LevelOneOrTwo(Level)) return call.Fail(ERROR_INVALID_LEVEL);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);
    DWORD code;
    if (TakeFault(&state, "SetFormW", &code)) {
        call.SetFault();
        return call.Fail(code);
    }
    if (!CanAdminister(handle)) return call.Fail(ERROR_ACCESS_DENIED);
    if (!pFormName) return call.Fail(ERROR_INVALID_PARAMETER);
    const std::vector<Form> table = standin::FormTable(state);
    const int at = FindForm(table, pFormName);
    if (at < 0) return call.Fail(ERROR_INVALID_FORM_NAME);
    if (table[at].flags == FORM_BUILTIN) return call.Fail(ERROR_INVALID_PARAMETER);
    if (const DWORD error = CheckFormRecord(record)) return call.Fail(error);
    if (FindForm(table, record->pName, at) >= 0) return call.Fail(ERROR_FILE_EXISTS);

    // The form keeps its place in the table, even when the record renames it.
    const size_t stored = static_cast<size_t>(at) - (table.size() - state.forms.size());
    state.forms[stored] = FormFromRecord(record);
    if (const DWORD error = standin::SaveState(state)) return call.Fail(error);
    return call.Succeed();
}

BOOL WINAPI DeleteFormW(HANDLE hPrinter, LPWSTR pFormName) {
    Call call("DeleteFormW", "handle=" + HandleText(hPrinter) + " name=" + Quoted(pFormName));
    HandleInfo handle;
    if (!LookUpHandle(hPrinter, &handle)) return call.Fail(ERROR_INVALID_HANDLE);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);
    DWORD code;
    if (TakeFault(&state, "DeleteFormW", &code)) {
        call.SetFault();
        return call.Fail(code);
    }
    if (!CanAdminister(handle)) return call.Fail(ERROR_ACCESS_DENIED);
    if (!pFormName) return call.Fail(ERROR_INVALID_PARAMETER);
    const std::vector<Form> table = standin::FormTable(state);
    const int at = FindForm(table, pFormName);
    if (at < 0) return call.Fail(ERROR_INVALID_FORM_NAME);
    if (table[at].flags == FORM_BUILTIN) return call.Fail(ERROR_INVALID_PARAMETER);

    const size_t stored = static_cast<size_t>(at) - (table.size() - state.forms.size());
    state.forms.erase(state.forms.begin() + static_cast<std::ptrdiff_t>(stored));
    if (const DWORD error = standin::SaveState(state)) return call.Fail(error);
    return call.Succeed();
}

// --- The stand-in driver ---

BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
    Call call("GetPrinterW", "handle=" + HandleText(hPrinter) + " level=" + std::to_string(Level) +
                                 " size=" + std::to_string(cbBuf));
    HandleInfo handle;
    if (!LookUpHandle(hPrinter, &handle) || handle.server) return call.Fail(ERROR_INVALID_HANDLE);
    if (Level != 1 && Level != 2 && Level != 4 && Level != 8 && Level != 9) return call.Fail(ERROR_INVALID_LEVEL);
    if (!pcbNeeded) return call.Fail(RPC_X_NULL_REF_POINTER);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);
    DWORD code;
    if (TakeFault(&state, "GetPrinterW", &code)) {
        call.SetFault();
        return call.Fail(code);
    }
    if (!CanUse(handle)) return call.Fail(ERROR_ACCESS_DENIED);
    const Printer* printer = standin::FindPrinter(&state, handle.printer);
    if (!printer) return call.Fail(ERROR_INVALID_PRINTER_NAME);

    // Level 9 is the caller's own default and absent until one is set; 2 and 8 the printer's.
    std::vector<BYTE> devMode;
    if (Level == 9 && printer->userPaper.set) devMode = SettingDevMode(*printer, printer->userPaper);
    if (Level == 2 || Level == 8) devMode = GlobalDevMode(state, *printer);
    auto pack = [&](BYTE* buffer) -> DWORD {
        if (Level <= 4) return static_cast<DWORD>(PackPrinters({printer}, Level, buffer, devMode));
        Packer packer(buffer, sizeof(PRINTER_INFO_8W));  // level 9 has the same shape
        PRINTER_INFO_8W r = {};
        if (!devMode.empty()) r.pDevMode = static_cast<DEVMODEW*>(packer.PutBytes(devMode));
        packer.PutRecord(0, r);
        return static_cast<DWORD>(packer.Used());
    };
    const DWORD needed = pack(nullptr);
    const std::string sizes = "needed=" + std::to_string(needed);
    *pcbNeeded = needed;
    if (!pPrinter || cbBuf < needed) return call.Fail(ERROR_INSUFFICIENT_BUFFER, sizes);
    pack(pPrinter);
    const std::string shown =
        Level == 2 || Level >= 8
            ? " devmode=" + (devMode.empty() ? std::string("null")
                                             : DevModeText(reinterpret_cast<const DEVMODEW*>(devMode.data())))
            : std::string();
    return call.Succeed(sizes + shown);
}

BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    const DEVMODEW* devMode = nullptr;
    if (pPrinter && (Level == 8 || Level == 9)) devMode = reinterpret_cast<const PRINTER_INFO_8W*>(pPrinter)->pDevMode;
    if (pPrinter && Level == 2) devMode = reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter)->pDevMode;
    Call call("SetPrinterW", "handle=" + HandleText(hPrinter) + " level=" + std::to_string(Level) + " command=" +
                                 std::to_string(Command) +
                                 (pPrinter ? " devmode=" + DevModeText(devMode) : std::string(" buffer=null")));
    HandleInfo handle;
    if (!LookUpHandle(hPrinter, &handle) || handle.server) return call.Fail(ERROR_INVALID_HANDLE);
    // Pausing, resuming and purging the queue are not stood in for.
    if (Command != 0) return call.Fail(ERROR_NOT_SUPPORTED);
    if (Level != 2 && Level != 8 && Level != 9) return call.Fail(ERROR_INVALID_LEVEL);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.Fail(error);
    DWORD code;
    if (TakeFault(&state, "SetPrinterW." + std::to_string(Level), &code) || TakeFault(&state, "SetPrinterW", &code)) {
        call.SetFault();
        return call.Fail(code);
    }
    // The caller's own default needs only use rights; the printer's needs administration.
    if (Level == 9 ? !CanUse(handle) : !CanAdminister(handle)) return call.Fail(ERROR_ACCESS_DENIED);
    if (!pPrinter) return call.Fail(ERROR_INVALID_PARAMETER);
    Printer* printer = standin::FindPrinter(&state, handle.printer);
    if (!printer) return call.Fail(ERROR_INVALID_PRINTER_NAME);
    if (Level == 2) {
        // Only the default settings change here: the stand-in keeps names, ports and drivers fixed.
        const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter);
        auto same = [](LPCWSTR given, const std::wstring& now) { return !given || standin::NamesEqual(given, now); };
        if (!same(info->pPrinterName, printer->name) ||
            !same(info->pPortName, printer->port.empty() ? standin::kDefaultPort : printer->port) ||
            !same(info->pDriverName, printer->driver.empty() ? standin::kDefaultDriver : printer->driver)) {
            return call.Fail(ERROR_NOT_SUPPORTED);
        }
        if (!devMode) return call.Succeed();
    }
    if (Level == 9 && !devMode) {
        printer->userPaper = PaperSetting();  // no record: the printer's default shows again
    } else {
        if (!devMode) return call.Fail(ERROR_INVALID_PARAMETER);
        if (const DWORD error = standin::CheckDevMode(devMode)) return call.Fail(error);
        (Level == 9 ? printer->userPaper : printer->globalPaper) = standin::PaperOf(devMode);
    }
    if (const DWORD error = standin::SaveState(state)) return call.Fail(error);
    return call.Succeed();
}

LONG WINAPI DocumentPropertiesW(HWND, HANDLE hPrinter, LPWSTR pDeviceName, PDEVMODEW pDevModeOutput,
                                PDEVMODEW pDevModeInput, DWORD fMode) {
    Call call("DocumentPropertiesW",
              "handle=" + HandleText(hPrinter) + " device=" + Quoted(pDeviceName) + " mode=" + Hex8(fMode) +
                  ((fMode & DM_IN_BUFFER) ? " in=" + DevModeText(pDevModeInput) : std::string()) +
                  " out=" + (pDevModeOutput ? "buffer" : "null"));
    // Without a handle the driver opens the printer that pDeviceName names.
    HandleInfo handle;
    if (hPrinter) {
        if (!LookUpHandle(hPrinter, &handle) || handle.server) return call.FailValue(ERROR_INVALID_HANDLE);
    } else {
        if (!pDeviceName) return call.FailValue(ERROR_INVALID_PARAMETER);
        handle.printer = pDeviceName;
        handle.granted = PRINTER_ACCESS_USE;
    }
    // No dialogs, and nothing is written from here: defaults are set with SetPrinterW.
    if (fMode & (DM_IN_PROMPT | DM_OUT_DEFAULT)) return call.FailValue(ERROR_NOT_SUPPORTED);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.FailValue(error);
    DWORD code;
    if (TakeFault(&state, "DocumentPropertiesW", &code)) {
        call.SetFault();
        return call.FailValue(code);
    }
    const Printer* printer = standin::FindPrinter(&state, handle.printer);
    if (!printer) return call.FailValue(ERROR_INVALID_PRINTER_NAME);
    if (!CanUse(handle)) return call.FailValue(ERROR_ACCESS_DENIED);
    if (fMode == 0) {
        DWORD fewer = 0;
        if (TakeFault(&state, "DocumentPropertiesW.short", &fewer)) call.SetFault();
        return call.Return(static_cast<LONG>(sizeof(DEVMODEW) + standin::kDriverExtra - fewer));
    }
    if ((fMode & DM_OUT_BUFFER) && !pDevModeOutput) return call.FailValue(ERROR_INVALID_PARAMETER);

    const std::vector<Paper> papers = standin::DriverPapers(state, *printer);
    Paper paper = standin::CurrentPaper(papers, *printer);
    PaperSetting look = standin::CurrentLook(*printer);
    if ((fMode & DM_IN_BUFFER) && pDevModeInput) {
        if (const DWORD error = standin::CheckDevMode(pDevModeInput)) return call.FailValue(error);
        look = standin::MergeLook(look, pDevModeInput);
        if (TakeFault(&state, "DocumentPropertiesW.ignore-form", &code)) {
            call.SetFault();  // a driver that keeps the paper it had
        } else {
            paper = standin::MergePaper(papers, paper, pDevModeInput);
        }
    }
    std::string overrun;
    if (fMode & DM_OUT_BUFFER) {
        bool faulted = false;
        overrun = WriteDevMode(standin::MakeDevMode(printer->name, paper.id, paper.name, look), &state,
                               pDevModeOutput, &faulted);
        if (faulted) call.SetFault();
    }
    return call.Return(IDOK, "paper=" + PaperText(paper) + overrun);
}

int WINAPI DeviceCapabilitiesW(LPCWSTR pDevice, LPCWSTR pPort, WORD fwCapability, LPWSTR pOutput,
                               CONST DEVMODEW* pDevMode) {
    Call call("DeviceCapabilitiesW", Quoted(pDevice) + " port=" + Quoted(pPort) + " cap=" +
                                         CapabilityText(fwCapability) + " output=" + (pOutput ? "buffer" : "null") +
                                         (pDevMode ? " devmode=" + DevModeText(pDevMode) : std::string()));
    if (!pDevice) return call.FailValue(ERROR_INVALID_PARAMETER);
    if (pDevMode && standin::CheckDevMode(pDevMode) != ERROR_SUCCESS) return call.FailValue(ERROR_INVALID_PARAMETER);

    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) return call.FailValue(error);
    DWORD code;
    if (TakeFault(&state, "DeviceCapabilitiesW", &code)) {
        call.SetFault();
        return call.FailValue(code);
    }
    const Printer* printer = standin::FindPrinter(&state, pDevice);
    if (!printer) return call.FailValue(ERROR_INVALID_PRINTER_NAME);
    const standin::Extent extent = standin::DriverExtent(*printer);
    switch (fwCapability) {
    case DC_MINEXTENT:
    case DC_MAXEXTENT: {
        // A POINTS in the return value: width in the low word, length in the high one.
        const bool min = fwCapability == DC_MINEXTENT;
        const LONG width = min ? extent.minWidth : extent.maxWidth;
        const LONG length = min ? extent.minLength : extent.maxLength;
        return call.Return(MAKELONG(width, length), "extent=" + std::to_string(width) + "x" + std::to_string(length));
    }
    case DC_FIELDS: return call.Return(static_cast<LONG>(standin::kDevModeFields | DM_PAPERSIZE | DM_FORMNAME));
    case DC_SIZE: return call.Return(sizeof(DEVMODEW));
    case DC_EXTRA: return call.Return(standin::kDriverExtra);
    case DC_PAPERS:
    case DC_PAPERNAMES:
    case DC_PAPERSIZE: break;
    default: return call.FailValue(ERROR_NOT_SUPPORTED);
    }

    const std::vector<Paper> papers = standin::DriverPapers(state, *printer);
    const LONG count = static_cast<LONG>(papers.size());
    if (!pOutput) {
        if (TakeFault(&state, "DeviceCapabilitiesW.grow", &code)) {
            // Another client adds a form this driver lists, right after the count was taken.
            call.SetFault();
            state.forms.push_back(OtherClientForm(state, Clamp(100000, extent.minWidth * 100, extent.maxWidth * 100),
                                                  Clamp(150000, extent.minLength * 100, extent.maxLength * 100)));
            standin::SaveState(state);
        }
        return call.Return(count);
    }
    for (size_t i = 0; i < papers.size(); ++i) {
        const Paper& p = papers[i];
        if (fwCapability == DC_PAPERS) {
            reinterpret_cast<WORD*>(pOutput)[i] = static_cast<WORD>(p.id);
        } else if (fwCapability == DC_PAPERSIZE) {
            reinterpret_cast<POINT*>(pOutput)[i] = {Tenths(p.cx), Tenths(p.cy)};
        } else {
            // 64 units a name, padded with NULs; a name of 64 or more has no terminator.
            wchar_t* at = pOutput + 64 * i;
            const size_t n = p.name.size() < 64 ? p.name.size() : 64;
            std::wmemset(at, L'\0', 64);
            std::wmemcpy(at, p.name.data(), n);
        }
    }
    return call.Return(count);
}

// The local driver folder, as Windows names it: the system folder's spool\DRIVERS\ and the
// environment's folder. Sized in bytes, the NUL included, like the spooler's other strings.
BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                       DWORD cbBuf, LPDWORD pcbNeeded) {
    Call call("GetPrinterDriverDirectoryW", (pName ? "name=" + Quoted(pName) + " " : std::string()) +
                                                (pEnvironment ? "environment=" + Quoted(pEnvironment) + " " : std::string()) +
                                                "level=" + std::to_string(Level) + " size=" + std::to_string(cbBuf));
    if (cbBuf && !pDriverDirectory) return call.Fail(ERROR_INVALID_USER_BUFFER);
    if (!pcbNeeded) return call.Fail(RPC_X_NULL_REF_POINTER);
    // Only this machine's spooler is stood in for.
    if (pName && pName[0]) return call.Fail(ERROR_INVALID_PRINTER_NAME);
    if (Level != 1) return call.Fail(ERROR_INVALID_LEVEL);
    const struct {
        const wchar_t* environment;
        const wchar_t* folder;
    } environments[] = {{L"Windows x64", L"x64"}, {L"Windows NT x86", L"W32X86"}};
    const wchar_t* folder = sizeof(void*) == 8 ? L"x64" : L"W32X86";
    if (pEnvironment) {
        folder = nullptr;
        for (const auto& e : environments) {
            if (standin::NamesEqual(e.environment, pEnvironment)) folder = e.folder;
        }
        if (!folder) return call.Fail(ERROR_INVALID_ENVIRONMENT);
    }
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return call.Fail(ERROR_GEN_FAILURE);
    const std::wstring path = std::wstring(system, length) + L"\\spool\\DRIVERS\\" + folder;
    const DWORD needed = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
    *pcbNeeded = needed;
    if (cbBuf < needed) return call.Fail(ERROR_INSUFFICIENT_BUFFER, "needed=" + std::to_string(needed));
    std::memcpy(pDriverDirectory, path.c_str(), needed);
    return call.Succeed(Quoted(path.c_str()) + " needed=" + std::to_string(needed));
}

// Imported by Wine's gdi32 and comdlg32. They must exist for those DLLs to load with
// this one in place; printing itself is not stood in for.
BOOL WINAPI EnumPrintersA(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD) {
    return NotSupported("EnumPrintersA");
}
BOOL WINAPI OpenPrinterA(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA) { return NotSupported("OpenPrinterA"); }
BOOL WINAPI GetDefaultPrinterA(LPSTR, LPDWORD) { return NotSupported("GetDefaultPrinterA"); }
BOOL WINAPI GetPrinterA(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD) { return NotSupported("GetPrinterA"); }
BOOL WINAPI GetPrinterDriverA(HANDLE, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD) {
    return NotSupported("GetPrinterDriverA");
}
BOOL WINAPI GetPrinterDriverW(HANDLE, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD) {
    return NotSupported("GetPrinterDriverW");
}
LONG WINAPI DocumentPropertiesA(HWND, HANDLE, LPSTR, PDEVMODEA, PDEVMODEA, DWORD) {
    NotSupported("DocumentPropertiesA");
    return -1;
}
int WINAPI DeviceCapabilitiesA(LPCSTR, LPCSTR, WORD, LPSTR, CONST DEVMODEA*) {
    NotSupported("DeviceCapabilitiesA");
    return -1;
}
LPWSTR WINAPI StartDocDlgW(HANDLE, DOCINFOW*) {
    NotSupported("StartDocDlgW");
    return nullptr;
}

}  // extern "C"

// ---------------------------------------------------------------------------------
// Control functions
// ---------------------------------------------------------------------------------

STANDIN_API BOOL WINAPI StandInSetState(const char* utf8Text) {
    State state;
    int line = 0;
    std::string reason;
    if (!utf8Text || !standin::ParseState(utf8Text, &state, &line, &reason)) {
        standin::ReportError("stand-in spooler: StandInSetState: line " + std::to_string(line) + ": " +
                             (utf8Text ? reason : std::string("no text")));
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    standin::StateLock lock;
    const DWORD error = standin::SaveState(state);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

namespace {
DWORD CopyText(const std::string& text, char* buffer, DWORD size) {
    const DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (buffer && size >= needed) {
        std::memcpy(buffer, text.c_str(), needed);
    } else if (buffer && size > 0) {
        buffer[0] = '\0';
    }
    return needed;
}
}  // namespace

STANDIN_API DWORD WINAPI StandInGetState(char* buffer, DWORD size) {
    standin::StateLock lock;
    State state;
    if (const DWORD error = standin::LoadState(&state)) {
        SetLastError(error);
        return 0;
    }
    return CopyText(standin::FormatState(state), buffer, size);
}

STANDIN_API DWORD WINAPI StandInCallCount(const char* function) {
    Guard guard;
    if (!function) {
        DWORD total = 0;
        for (const auto& entry : g_counts) total += entry.second;
        return total;
    }
    const auto it = g_counts.find(function);
    return it == g_counts.end() ? 0 : it->second;
}

STANDIN_API LONG WINAPI StandInOpenHandles() {
    Guard guard;
    return static_cast<LONG>(g_handles.size());
}

STANDIN_API LONG WINAPI StandInMaxOpenHandles() {
    Guard guard;
    return g_maxOpen;
}

STANDIN_API void WINAPI StandInResetCounters() {
    Guard guard;
    g_counts.clear();
    g_log.clear();
    g_maxOpen = static_cast<LONG>(g_handles.size());
}

STANDIN_API DWORD WINAPI StandInGetLog(char* buffer, DWORD size) {
    std::string copy;
    {
        Guard guard;
        copy = g_log;
    }
    return CopyText(copy, buffer, size);
}
