// How fast the form list and start-up are under Wine. Every figure stands beside a floor
// measured in the same run (the same rows inserted into the same list view from texts made
// in advance; a minimal program that opens one window), each the median of several
// repetitions, and the result is printed as a Markdown table.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/app.h"
#include "forms/forms.h"
#include "import_list.h"
#include "standin.h"
#include "support/message_boxes.h"
#include "support/pump.h"
#include "support/state_lines.h"
#include "support/text.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// --- Spooler state ---

std::string FormName(size_t i)
{
    char name[32];
    std::snprintf(name, sizeof name, "Form %05zu", i);
    return name;
}

// n user forms whose names all contain "form", so the searches below keep every row.
std::string StateWith(size_t n)
{
    std::string state = "admin yes\nstandard-forms no\nprinter \"Bench Printer\"\ndefault \"Bench Printer\"\n";
    for (size_t i = 0; i < n; ++i)
        state += FormLine("user", 241000, 93000 + (i % 100) * 1000, Widen(FormName(i))) + "\n";
    return state;
}

void UseState(const wchar_t* file, const std::string& text)
{
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_STATE", (ExeFolder() + file).c_str());
    if (!StandInSetState(text.c_str()))
        std::fprintf(stderr, "bench: the stand-in refused the state\n");
}

// --- Where the time of one rebuild goes: the list view's own work, the notifications it
// sends back to the window while it works, and the status line; the rest is the product's ---

struct Profile {
    std::map<UINT, double> listMs;
    std::map<UINT, size_t> listCalls;
    double notifyMs = 0;
    size_t notifies = 0;
    double statusMs = 0;
};
Profile Measured;
bool Profiling;
WNDPROC ListProc;
WNDPROC MainProc;
WNDPROC StatusProc;

// Only the outermost message is timed: what the list sends itself while busy is part of it.
int ListDepth;
LRESULT CALLBACK TimedList(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!Profiling || ListDepth > 0)
        return CallWindowProcW(ListProc, window, message, wParam, lParam);
    ++ListDepth;
    const double start = Now();
    const LRESULT result = CallWindowProcW(ListProc, window, message, wParam, lParam);
    // WM_SETREDRAW's two halves cost very differently: keyed apart by wParam.
    const UINT key = message == WM_SETREDRAW ? (wParam ? 0x1000B : 0xB) : message;
    Measured.listMs[key] += Now() - start;
    ++Measured.listCalls[key];
    --ListDepth;
    return result;
}

LRESULT CALLBACK TimedMain(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!Profiling || message != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lParam)->hwndFrom != FormList)
        return CallWindowProcW(MainProc, window, message, wParam, lParam);
    const double start = Now();
    const LRESULT result = CallWindowProcW(MainProc, window, message, wParam, lParam);
    Measured.notifyMs += Now() - start;
    ++Measured.notifies;
    return result;
}

LRESULT CALLBACK TimedStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!Profiling || message != WM_SETTEXT)
        return CallWindowProcW(StatusProc, window, message, wParam, lParam);
    const double start = Now();
    const LRESULT result = CallWindowProcW(StatusProc, window, message, wParam, lParam);
    Measured.statusMs += Now() - start;
    return result;
}

std::string MessageName(UINT key)
{
    switch (key) {
    case WM_SETREDRAW: return "WM_SETREDRAW FALSE";
    case 0x1000B: return "WM_SETREDRAW TRUE";
    case LVM_DELETEALLITEMS: return "LVM_DELETEALLITEMS";
    case LVM_INSERTITEMW: return "LVM_INSERTITEMW";
    case LVM_SETITEMTEXTW: return "LVM_SETITEMTEXTW";
    case LVM_GETNEXTITEM: return "LVM_GETNEXTITEM";
    case LVM_SETITEMCOUNT: return "LVM_SETITEMCOUNT";
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", key);
    return hex;
}

void InstallProfilers()
{
    ListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(FormList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedList)));
    MainProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(MainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedMain)));
    StatusProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(StatusText, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedStatus)));
}

// --- The measured operations; each leaves the list holding all n rows ---

struct Prepared {
    std::vector<std::wstring> names;
    std::vector<std::wstring> sizes;
};

Prepared PrepareRows()
{
    Prepared p;
    for (const PaperForm& form : FormCatalogue) {
        p.names.push_back(form.name);
        p.sizes.push_back(FormatSizeText(form.width, form.height));
    }
    return p;
}

// The floor: what any rebuild must do at least, the messages RebuildFormList sends (redraw
// held while the rows go in, one invalidation after) with texts made in advance. With
// redrawOn the list redraws after every insertion instead, as the rebuild did before it held
// redrawing: kept as a reference to show what that costs.
double InsertPrepared(const Prepared& p, bool paint = false, bool redrawOn = false)
{
    const bool redrawOff = !redrawOn;
    const double start = Now();
    if (redrawOff)
        SendMessageW(FormList, WM_SETREDRAW, FALSE, 0);
    SendMessageW(FormList, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < p.names.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(p.names[i].c_str());
        item.lParam = static_cast<LPARAM>(i);
        SendMessageW(FormList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        LVITEMW size = {};
        size.iSubItem = 1;
        size.pszText = const_cast<wchar_t*>(p.sizes[i].c_str());
        SendMessageW(FormList, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&size));
    }
    if (redrawOff) {
        SendMessageW(FormList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(FormList, nullptr, TRUE);
    }
    if (paint)
        RedrawWindow(MainWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const double elapsed = Now() - start;
    PumpPending();
    return elapsed;
}

// One keystroke: the edit's own WM_SETTEXT sends the EN_CHANGE a typed character would.
// With paint, until the window has repainted what the keystroke changed: one frame's work.
double Keystroke(const wchar_t* text, bool paint = false)
{
    const double start = Now();
    SetWindowTextW(SearchEdit, text);
    if (paint)
        RedrawWindow(MainWindow, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const double elapsed = Now() - start;
    PumpPending();
    return elapsed;
}

// One redraw of the list's vertical scroll bar with its range unchanged. Wine's list view
// redraws it twice when redraw is turned back on (it sets both bars in two passes), and each
// redraw is a themed draw of several wineserver round trips: most of a rebuild's time.
double ScrollBarRedraw()
{
    SCROLLINFO scroll = {};
    scroll.cbSize = sizeof(scroll);
    scroll.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    GetScrollInfo(FormList, SB_VERT, &scroll);
    const double start = Now();
    SetScrollInfo(FormList, SB_VERT, &scroll, TRUE);
    const double elapsed = Now() - start;
    PumpPending();
    return elapsed;
}

double Load()
{
    const double start = Now();
    LoadForms();
    const double elapsed = Now() - start;
    PumpPending();
    return elapsed;
}

// The spooler's share of LoadForms: the same four calls made directly.
double SpoolerCalls()
{
    const double start = Now();
    std::wstring name = SelectedPrinterName();
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    if (!OpenPrinterW(&name[0], &printer, &defaults))
        return -1;
    DWORD needed = 0, returned = 0;
    EnumFormsW(printer, 1, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed ? needed : 1);
    EnumFormsW(printer, 1, buffer.data(), needed, &needed, &returned);
    ClosePrinter(printer);
    return Now() - start;
}

// What the list shows once painted: its pixels (frame and scroll bar included) and its
// scroll range, to tell whether inserting with redraw off leaves the same picture.
struct ListPicture {
    std::vector<COLORREF> pixels;
    int scrollMax = 0;
    UINT scrollPage = 0;
    bool operator==(const ListPicture& other) const
    {
        return pixels == other.pixels && scrollMax == other.scrollMax && scrollPage == other.scrollPage;
    }
};

ListPicture PictureOfList()
{
    RedrawWindow(FormList, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpPending();
    ListPicture picture;
    RECT rect;
    GetWindowRect(FormList, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC window = GetWindowDC(FormList);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2)
            picture.pixels.push_back(GetPixel(memory, x, y));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(FormList, window);
    SCROLLINFO scroll = {};
    scroll.cbSize = sizeof(scroll);
    scroll.fMask = SIF_ALL;
    GetScrollInfo(FormList, SB_VERT, &scroll);
    picture.scrollMax = scroll.nMax;
    picture.scrollPage = scroll.nPage;
    return picture;
}

// --- Start-up of a child program ---

struct Launched {
    double ms = 0;
    size_t workingSet = 0;
    bool ok = false;
};

struct FindArgs {
    DWORD pid;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindShown(HWND window, LPARAM lParam)
{
    FindArgs* args = reinterpret_cast<FindArgs*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (pid == args->pid && IsWindowVisible(window) && std::wstring(className) == args->className) {
        args->found = window;
        return FALSE;
    }
    return TRUE;
}

// From CreateProcess until the program's window is visible and its thread has come back to
// its message loop: the reply to a sent WM_NULL can only come after the first paint.
Launched Launch(const std::wstring& exe, const wchar_t* className)
{
    Launched result;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + exe + L"\"";
    const double start = Now();
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, ExeFolder().c_str(),
                        &startup, &process))
        return result;
    WaitForInputIdle(process.hProcess, 30000);
    FindArgs args = {process.dwProcessId, className, nullptr};
    // Polls at most every millisecond for the window, giving up if the program ends.
    while (!args.found && Now() - start < 30000) {
        EnumWindows(FindShown, reinterpret_cast<LPARAM>(&args));
        if (!args.found && WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    DWORD_PTR reply = 0;
    if (args.found && SendMessageTimeoutW(args.found, WM_NULL, 0, 0, SMTO_BLOCK, 30000, &reply)) {
        result.ms = Now() - start;
        result.ok = true;
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory))) {
        result.workingSet = memory.WorkingSetSize;
    }
    if (args.found)
        PostMessageW(args.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

ULONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// --- What to run: ZELTRA_BENCH_SIZES="100,1000" and ZELTRA_BENCH_REPS=3 shorten a run ---

std::vector<size_t> Sizes()
{
    std::vector<size_t> sizes;
    const char* text = std::getenv("ZELTRA_BENCH_SIZES");
    for (const char* p = text ? text : "100,1000,10000"; *p;) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(p, &end, 10);
        if (end == p)
            break;
        if (n > 0)
            sizes.push_back(n);
        p = *end ? end + 1 : end;
    }
    return sizes;
}

// ZELTRA_BENCH_REPS when set, else the count given: fewer rounds where every one takes longest.
size_t Repetitions(size_t usual)
{
    const char* text = std::getenv("ZELTRA_BENCH_REPS");
    if (text && *text)
        return std::max<size_t>(1, std::strtoul(text, nullptr, 10));
    return usual;
}

// --- Reporting ---

std::vector<std::string> Table;      // the main table's rows, in order
std::vector<std::string> Profiles;   // one row per profiled rebuild
std::vector<std::string> SameScreen; // per size, whether holding redraw paints the same
double RowsPerSecond = 0;
double KeystrokeFrame1000 = 0;

void Row(const std::string& what, const std::string& forms, double value, double floor, const char* unit,
         const std::string& goal, size_t reps)
{
    char line[512];
    std::snprintf(line, sizeof line, "| %s | %s | %.3f %s | %.3f %s | %.2f\xC3\x97 | %s | %zu |", what.c_str(),
                  forms.c_str(), value, unit, floor, unit, floor > 0 ? value / floor : 0.0, goal.c_str(), reps);
    Table.push_back(line);
}

std::string Thousands(size_t n)
{
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return digits;
}

// --- The steps of a run ---

// The real main window on a small table, shown, with its list profiled; the benchmark must
// raise no box, and should one come it is answered and counted.
bool OpenWindow()
{
    StartBoxRecorder([](const RecordedBox&) { return IDOK; });
    UseState(L"bench-state.txt", StateWith(100));
    std::wstring missing;
    if (!LoadSpoolerFunctions(&missing)) {
        std::fprintf(stderr, "bench: no spooler (%ls)\n", missing.c_str());
        return false;
    }
    if (!CreateMainWindow(GetModuleHandleW(nullptr))) {
        std::fprintf(stderr, "bench: no main window (is there a display?)\n");
        return false;
    }
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    UpdateWindow(MainWindow);
    PumpPending();
    InstallProfilers();
    return true;
}

// n forms read and every one shown.
bool LoadTable(size_t n)
{
    UseState(L"bench-state.txt", StateWith(n));
    SetWindowTextW(SearchEdit, L"");
    Load();
    if (FormCatalogue.size() != n || VisibleRows.size() != n) {
        std::fprintf(stderr, "bench: %zu forms read, %zu rows shown, %zu expected\n", FormCatalogue.size(),
                     VisibleRows.size(), n);
        return false;
    }
    return true;
}

struct Rounds {
    std::vector<double> floor, floorFrame, search, empty, frame, load, spooler, scrollBar;
};

// An untimed first round, then the rounds interleaved so that drift hits all alike.
Rounds TimedRounds(size_t n, const Prepared& prepared, size_t reps)
{
    Rounds rounds;
    for (size_t r = 0; r <= reps; ++r) {
        const double f = InsertPrepared(prepared);
        const double ff = InsertPrepared(prepared, true);
        const double s = Keystroke(r % 2 ? L"form" : L"orm"); // every name contains both
        const double e = Keystroke(L"");                      // the default: no search at all
        const double k = Keystroke(L"f", true);
        Keystroke(L""); // LoadForms below then rebuilds with no search
        const double l = Load();
        const double c = SpoolerCalls();
        const double b = ScrollBarRedraw();
        std::fprintf(stderr,
                     "bench: %zu forms, round %zu: floor %.1f (%.1f with the repaint), search %.1f, empty %.1f, "
                     "frame %.1f, load %.1f, spooler %.1f, scroll bar %.1f ms\n",
                     n, r, f, ff, s, e, k, l, c, b);
        if (r == 0)
            continue;
        rounds.floor.push_back(f), rounds.floorFrame.push_back(ff), rounds.search.push_back(s),
            rounds.empty.push_back(e), rounds.frame.push_back(k), rounds.load.push_back(l),
            rounds.spooler.push_back(c), rounds.scrollBar.push_back(b);
    }
    return rounds;
}

// Redrawing after every row costs seconds at 1,000 rows and minutes at 10,000 under Wine:
// three rounds at the small sizes only, and a check that holding redraw paints the same.
std::vector<double> RedrawingRounds(size_t n, const Prepared& prepared)
{
    std::vector<double> redrawing;
    if (n > 1000)
        return redrawing;
    for (int r = 0; r < 3; ++r)
        redrawing.push_back(InsertPrepared(prepared, false, true));
    const ListPicture usual = PictureOfList();
    InsertPrepared(prepared);
    const ListPicture held = PictureOfList();
    SameScreen.push_back(std::string(usual == held ? "same" : "DIFFERENT") + " picture at " + Thousands(n) +
                         " rows (" + std::to_string(usual.pixels.size()) + " pixels, scroll range " +
                         std::to_string(usual.scrollMax) + " vs " + std::to_string(held.scrollMax) + ")");
    return redrawing;
}

void AddListRows(size_t n, const Rounds& rounds, const std::vector<double>& redrawing, size_t reps)
{
    const double floorMs = Median(rounds.floor);
    const std::string forms = Thousands(n);
    const char* within = "\xE2\x89\xA4 1.15\xC3\x97";
    const std::string frameGoal = n == 1000 ? "well inside 16.7 ms" : "-";
    Row("keystroke, search keeps every row", forms, Median(rounds.search), floorMs, "ms", within, reps);
    Row("keystroke, empty search (filter off)", forms, Median(rounds.empty), floorMs, "ms", within, reps);
    Row("  one redraw of the list's scroll bar (twice in each)", forms, Median(rounds.scrollBar), floorMs, "ms", "-",
        reps);
    Row("LoadForms (spooler + rebuild)", forms, Median(rounds.load), floorMs, "ms", "-", reps);
    Row("  of which the spooler's four calls", forms, Median(rounds.spooler), floorMs, "ms", "-", reps);
    Row("keystroke + repaint (one frame)", forms, Median(rounds.frame), Median(rounds.floorFrame), "ms", frameGoal,
        reps);
    Row("  its floor beside a 60 Hz frame", forms, Median(rounds.floorFrame), 16.7, "ms", "-", reps);
    if (!redrawing.empty())
        Row("floor redrawing after every row (reference)", forms, Median(redrawing), floorMs, "ms", "-", 3);
    if (n == 1000) {
        RowsPerSecond = 1000.0 / (Median(rounds.search) / 1000.0);
        KeystrokeFrame1000 = Median(rounds.frame);
    }
}

// One profiled rebuild of each kind, apart from the timed ones (timing adds its own cost).
void ProfileRebuilds(const std::string& forms)
{
    for (const wchar_t* text : {L"form", L""}) {
        SetWindowTextW(SearchEdit, text[0] ? L"orm" : L"f");
        PumpPending();
        Measured = Profile();
        Profiling = true;
        const double start = Now();
        SetWindowTextW(SearchEdit, text);
        const double total = Now() - start;
        Profiling = false;
        PumpPending();
        double list = 0;
        std::string perMessage;
        for (const auto& m : Measured.listMs) {
            list += m.second;
            char part[96];
            std::snprintf(part, sizeof part, " %s\xC3\x97%zu %.2f ms;", MessageName(m.first).c_str(),
                          Measured.listCalls[m.first], m.second);
            perMessage += part;
        }
        char line[640];
        std::snprintf(line, sizeof line,
                      "| %s | %s | %.2f ms | %.2f ms (%.0f%%) | %.2f ms, %zu notices | %.2f ms | %.2f ms (%.0f%%) |%s |",
                      forms.c_str(), text[0] ? "search" : "empty", total, list, 100.0 * list / total,
                      Measured.notifyMs, Measured.notifies, Measured.statusMs, total - list - Measured.statusMs,
                      100.0 * (total - list - Measured.statusMs) / total, perMessage.c_str());
        Profiles.push_back(line);
    }
}

// Every figure of the form list at n forms.
bool MeasureList(size_t n)
{
    if (!LoadTable(n))
        return false;
    const Prepared prepared = PrepareRows();
    const size_t reps = Repetitions(n >= 10000 ? 7 : n >= 1000 ? 15 : 31);
    const Rounds rounds = TimedRounds(n, prepared, reps);
    const std::vector<double> redrawing = RedrawingRounds(n, prepared);
    if (VisibleRows.size() != n || SendMessageW(FormList, LVM_GETITEMCOUNT, 0, 0) != static_cast<LRESULT>(n)) {
        std::fprintf(stderr, "bench: the rows went missing\n");
        return false;
    }
    AddListRows(n, rounds, redrawing, reps);
    ProfileRebuilds(Thousands(n));
    return true;
}

// Start-up, size and memory beside the minimal program.
bool MeasureStartup()
{
    UseState(L"bench-startup-state.txt",
             "admin yes\nstandard-forms yes\nprinter \"Bench Printer\"\nprinter \"Second Printer\"\n"
             "default \"Bench Printer\"\n"
             "form user 241000 93000 0 0 241000 93000 \"Invoice 241x93\"\n"
             "form user 241000 140000 0 0 241000 140000 \"Halves 241x140\"\n"
             "form printer 241000 305000 0 0 241000 305000 \"Fanfold\"\n");
    const std::wstring product = ExeFolder() + L"ZeltraPaper.exe";
    const std::wstring minimal = ExeFolder() + L"zeltra_minimal_window.exe";
    std::vector<double> productMs, minimalMs, productSet, minimalSet;
    const size_t launches = 15;
    for (size_t r = 0; r <= launches; ++r) {
        const Launched p = Launch(product, MainWindowClass);
        const Launched m = Launch(minimal, L"ZeltraBenchMinimalWindow");
        if (!p.ok || !m.ok) {
            std::fprintf(stderr, "bench: a program did not come up (product %d, minimal %d)\n", p.ok, m.ok);
            return false;
        }
        if (r == 0)
            continue; // the first start fills the system's caches
        productMs.push_back(p.ms), minimalMs.push_back(m.ms);
        productSet.push_back(p.workingSet / 1048576.0), minimalSet.push_back(m.workingSet / 1048576.0);
    }
    Row("start-up until shown, painted and idle", "demo", Median(productMs), Median(minimalMs), "ms",
        "\xE2\x89\xA4 1.3\xC3\x97", launches);
    Row("executable size", "-", FileSize(product) / 1024.0, FileSize(minimal) / 1024.0, "KiB",
        "\xE2\x89\xA4 256 KiB", 1);
    Row("working set after start-up", "demo", Median(productSet), Median(minimalSet), "MiB", "-", launches);
    return true;
}

// --- zeltra-forms.exe's import beside its floor ---

// Beyond 1,000 forms an import on the stand-in takes minutes: every change rewrites its file.
const size_t LargestImport = 1000;
// A PC's table as the spooler keeps it: the built-in forms and no user forms yet.
const char EmptyImportState[] =
    "admin yes\nstandard-forms yes\nprinter \"Bench Printer\"\ndefault \"Bench Printer\"\n";
const wchar_t ImportPrinterArgument[] = L"\"Bench Printer\"";
const wchar_t ImportStateFile[] = L"bench-import-state.txt";

std::vector<std::string> ImportCalls;  // per size, each side's spooler calls in one import
std::vector<std::string> ImportGrowth; // per size, the floor's spooler time per added form

std::string ReadWholeFile(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// 93100 gives "93.1": the shortest text that reads back as the same micrometres.
std::string MillimetreText(int32_t micrometres)
{
    std::string text = std::to_string(micrometres / 1000) + "." + std::to_string(1000 + micrometres % 1000).substr(1);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

// The file an admin would deploy: UTF-8 with a BOM, as Excel's "CSV UTF-8" saves it.
void WriteImportFile(size_t n, const wchar_t* name)
{
    std::string text = "\xEF\xBB\xBFname,width_mm,height_mm\r\n";
    for (const ListedForm& form : ImportList(n))
        text += Narrow(form.name) + "," + MillimetreText(form.width) + "," + MillimetreText(form.height) + "\r\n";
    HANDLE file = CreateFileW((ExeFolder() + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

struct ChildRun {
    double ms = 0;
    DWORD exitCode = 1;
    std::string output;                  // standard output and error
    std::map<std::string, size_t> calls; // spooler calls by function, when asked for
};

// Counts the stand-in's log lines ("AddFormW handle=... -> TRUE") by their function.
std::map<std::string, size_t> CallsIn(const std::string& log)
{
    std::map<std::string, size_t> calls;
    for (size_t at = 0; at < log.size();) {
        const size_t end = std::min(log.find('\n', at), log.size());
        ++calls[log.substr(at, std::min(log.find(' ', at), end) - at)];
        at = end + 1;
    }
    return calls;
}

// From CreateProcess until the process has ended, its output read from a pipe as a
// management agent reads it, or thrown away by the NUL device; with logCalls, the spooler
// calls it made.
enum class Output { Pipe, Nul };
ChildRun RunToEnd(const wchar_t* program, const std::wstring& arguments, bool logCalls = false,
                  Output output = Output::Pipe)
{
    ChildRun run;
    const std::wstring exe = ExeFolder() + program;
    const std::wstring logPath = ExeFolder() + L"bench-import-calls.txt";
    DeleteFileW(logPath.c_str());
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", logCalls ? logPath.c_str() : nullptr);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    if (output == Output::Pipe) {
        CreatePipe(&reader, &writer, &inherit, 0);
        SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    } else {
        writer = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writer;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    const double start = Now();
    const BOOL started = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                        nullptr, ExeFolder().c_str(), &startup, &process);
    CloseHandle(writer);
    if (started) {
        // The pipe ends when the process has closed its end, at its exit at the latest.
        char chunk[4096];
        for (DWORD got = 0; reader && ReadFile(reader, chunk, sizeof chunk, &got, nullptr) && got > 0;)
            run.output.append(chunk, got);
        WaitForSingleObject(process.hProcess, INFINITE);
        run.ms = Now() - start;
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (reader)
        CloseHandle(reader);
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_LOG", nullptr);
    if (logCalls)
        run.calls = CallsIn(ReadWholeFile(logPath));
    return run;
}

// One import round: the tool's dry run and import of n new forms, then the floor's adding of
// the same forms, each on the empty table.
struct ImportRound {
    ChildRun dryRun, imported, floorAdd;
    bool sameTable = false; // the tool left the very table the floor did
};

// One rerun round on the full table: the tool's rerun of the whole file (its output also
// to NUL) and of a one-form file, the floor's reading of the table, and the start-up of each.
struct RerunRound {
    ChildRun rerun, rerunNul, rerunOne, floorRead, toolStart, floorStart;
    bool changedNothing = false;
};

const wchar_t* const ToolExe = L"zeltra-forms.exe";
const wchar_t* const FloorExe = L"zeltra_import_floor.exe";

std::wstring ImportArguments(const wchar_t* file)
{
    return L"import " + std::wstring(file) + L" --printer " + ImportPrinterArgument;
}

std::wstring FloorArguments(size_t n, const wchar_t* mode)
{
    return std::wstring(ImportPrinterArgument) + L" " + std::to_wstring(n) + L" " + mode;
}

ImportRound RunImportRound(size_t n, bool logCalls)
{
    ImportRound round;
    const std::wstring statePath = ExeFolder() + ImportStateFile;
    UseState(ImportStateFile, EmptyImportState);
    round.dryRun = RunToEnd(ToolExe, ImportArguments(L"bench-import.csv") + L" --dry-run");
    round.imported = RunToEnd(ToolExe, ImportArguments(L"bench-import.csv"), logCalls);
    const std::string toolTable = ReadWholeFile(statePath);
    UseState(ImportStateFile, EmptyImportState);
    round.floorAdd = RunToEnd(FloorExe, FloorArguments(n, L"add"), logCalls);
    round.sameTable = ReadWholeFile(statePath) == toolTable;
    return round;
}

RerunRound RunRerunRound(size_t n)
{
    RerunRound round;
    const std::wstring statePath = ExeFolder() + ImportStateFile;
    const std::string before = ReadWholeFile(statePath);
    round.rerun = RunToEnd(ToolExe, ImportArguments(L"bench-import.csv"));
    round.rerunNul = RunToEnd(ToolExe, ImportArguments(L"bench-import.csv"), false, Output::Nul);
    round.rerunOne = RunToEnd(ToolExe, ImportArguments(L"bench-import-one.csv"));
    round.changedNothing = ReadWholeFile(statePath) == before;
    round.floorRead = RunToEnd(FloorExe, FloorArguments(n, L"read"));
    round.toolStart = RunToEnd(ToolExe, L"--help");
    round.floorStart = RunToEnd(FloorExe, FloorArguments(0, L"none"));
    return round;
}

// The milliseconds the floor wrote for its own spooler calls.
double FloorCalls(const ChildRun& run) { return std::strtod(run.output.c_str(), nullptr); }

struct NamedRun {
    const ChildRun& run;
    const char* what;
    DWORD alsoFine; // --dry-run may answer 4, "something would change"
};

// Every run ended well and the table is as it should be; false after saying what went wrong.
bool RunsWent(std::initializer_list<NamedRun> runs, bool tableRight, const char* tableWrong)
{
    for (const NamedRun& r : runs)
        if (r.run.exitCode != 0 && r.run.exitCode != r.alsoFine) {
            std::fprintf(stderr, "bench: %s ended with %lu:\n%s\n", r.what, r.run.exitCode, r.run.output.c_str());
            return false;
        }
    if (!tableRight)
        std::fprintf(stderr, "bench: %s\n", tableWrong);
    return tableRight;
}

bool CheckImportRound(size_t n, const ImportRound& round)
{
    if (!RunsWent({{round.dryRun, "the dry run", 4}, {round.imported, "the import", 0},
                   {round.floorAdd, "the floor's import", 0}},
                  round.sameTable, "the tool's table is not the floor's"))
        return false;
    std::fprintf(stderr, "bench: import of %zu: tool %.0f (dry run %.0f), floor %.0f (its calls %.0f) ms\n", n,
                 round.imported.ms, round.dryRun.ms, round.floorAdd.ms, FloorCalls(round.floorAdd));
    return true;
}

bool CheckRerunRound(size_t n, const RerunRound& round)
{
    if (!RunsWent({{round.rerun, "the rerun", 0}, {round.rerunNul, "the rerun to NUL", 0},
                   {round.rerunOne, "the one-form rerun", 0}, {round.floorRead, "the floor's rerun", 0},
                   {round.toolStart, "--help", 0}, {round.floorStart, "the floor's start-up", 0}},
                  round.changedNothing, "the rerun changed the table"))
        return false;
    std::fprintf(stderr,
                 "bench: rerun of %zu: tool %.1f (to NUL %.1f, one form %.1f), floor %.1f (its calls %.1f); start-up: "
                 "tool %.1f, floor %.1f ms\n",
                 n, round.rerun.ms, round.rerunNul.ms, round.rerunOne.ms, round.floorRead.ms,
                 FloorCalls(round.floorRead), round.toolStart.ms, round.floorStart.ms);
    return true;
}

template <typename Round>
double MedianOf(const std::vector<Round>& rounds, double (*of)(const Round&))
{
    std::vector<double> values;
    for (const Round& round : rounds)
        values.push_back(of(round));
    return Median(values);
}

// The spooler calls of the tool's import against the floor's, from the stand-in's log, noted
// for the report; the comparison holds only if both made the same AddFormW and EnumFormsW calls.
bool NoteImportCalls(size_t n, const ImportRound& logged)
{
    std::map<std::string, size_t> tool = logged.imported.calls, floor = logged.floorAdd.calls;
    std::map<std::string, size_t> both = tool;
    both.insert(floor.begin(), floor.end());
    std::string line = Thousands(n) + " forms:";
    for (const auto& call : both)
        line += " " + call.first + " " + std::to_string(tool[call.first]) + "/" + std::to_string(floor[call.first]);
    ImportCalls.push_back(line);
    if (tool["AddFormW"] == n && floor["AddFormW"] == n && tool["EnumFormsW"] == floor["EnumFormsW"])
        return true;
    std::fprintf(stderr, "bench: the tool and its floor made different calls (tool/floor): %s\n", line.c_str());
    return false;
}

void AddImportRows(size_t n, const std::vector<ImportRound>& imports, const std::vector<RerunRound>& reruns)
{
    const std::string forms = Thousands(n);
    const std::string goal = n == 1000 ? "\xE2\x89\xA4 1.3\xC3\x97" : "-";
    const size_t reps = imports.size(), quick = reruns.size();
    const double floorAdd = MedianOf<ImportRound>(imports, [](const ImportRound& r) { return r.floorAdd.ms; });
    const double addCalls =
        MedianOf<ImportRound>(imports, [](const ImportRound& r) { return FloorCalls(r.floorAdd); });
    const double floorRead = MedianOf<RerunRound>(reruns, [](const RerunRound& r) { return r.floorRead.ms; });
    const double floorStart = MedianOf<RerunRound>(reruns, [](const RerunRound& r) { return r.floorStart.ms; });
    Row("zeltra-forms.exe import, all forms new", forms,
        MedianOf<ImportRound>(imports, [](const ImportRound& r) { return r.imported.ms; }), floorAdd, "ms", goal, reps);
    Row("  of which the floor's own spooler calls", forms, addCalls, floorAdd, "ms", "-", reps);
    Row("  the tool with --dry-run: all but the AddFormW calls", forms,
        MedianOf<ImportRound>(imports, [](const ImportRound& r) { return r.dryRun.ms; }), floorAdd, "ms", "-", reps);
    Row("zeltra-forms.exe import rerun, all unchanged", forms,
        MedianOf<RerunRound>(reruns, [](const RerunRound& r) { return r.rerun.ms; }), floorRead, "ms", goal, quick);
    Row("  of which the floor's own spooler calls", forms,
        MedianOf<RerunRound>(reruns, [](const RerunRound& r) { return FloorCalls(r.floorRead); }), floorRead, "ms",
        "-", quick);
    Row("  the tool's rerun with its output to NUL, not a pipe", forms,
        MedianOf<RerunRound>(reruns, [](const RerunRound& r) { return r.rerunNul.ms; }), floorRead, "ms", "-", quick);
    Row("  the tool's rerun of one of the forms, on the same table", forms,
        MedianOf<RerunRound>(reruns, [](const RerunRound& r) { return r.rerunOne.ms; }), floorRead, "ms", "-", quick);
    Row("  process start-up: --help; the floor loading the spooler", forms,
        MedianOf<RerunRound>(reruns, [](const RerunRound& r) { return r.toolStart.ms; }), floorStart, "ms", "-",
        quick);
    char growth[96];
    std::snprintf(growth, sizeof growth, "%.2f ms per added form at %s forms", addCalls / static_cast<double>(n),
                  forms.c_str());
    ImportGrowth.push_back(growth);
}

// An import of n new forms, each round beside its floor, the first untimed with the spooler's
// call log on; then, on the full table, three times as many of the quicker reruns.
bool MeasureImport(size_t n)
{
    WriteImportFile(n, L"bench-import.csv");
    WriteImportFile(1, L"bench-import-one.csv");
    const ImportRound logged = RunImportRound(n, true);
    if (!CheckImportRound(n, logged) || !NoteImportCalls(n, logged))
        return false;
    std::vector<ImportRound> imports(Repetitions(n >= 1000 ? 7 : 9));
    for (ImportRound& round : imports)
        if (!CheckImportRound(n, round = RunImportRound(n, false)))
            return false;
    std::vector<RerunRound> reruns(3 * imports.size());
    for (RerunRound& round : reruns)
        if (!CheckRerunRound(n, round = RunRerunRound(n)))
            return false;
    AddImportRows(n, imports, reruns);
    return true;
}

// The import at every size up to LargestImport, and what that added to the benchmark's time.
bool MeasureImports()
{
    const double start = Now();
    for (size_t n : Sizes())
        if (n <= LargestImport && !MeasureImport(n))
            return false;
    std::fprintf(stderr, "bench: the import's rounds took %.0f s\n", (Now() - start) / 1000.0);
    return true;
}

// How the import's floor is made, and why the import's times grow faster than its size.
void PrintImportNotes()
{
    std::printf("\nImport floor: a console program linked like zeltra-forms.exe that loads winspool.drv from the "
                "system folder as it does, opens the printer, reads its form table (EnumFormsW twice) and adds the "
                "same forms (AddFormW each) from a list made in memory; for the rerun it opens and reads only. "
                "zeltra-forms.exe imports a UTF-8 file of those forms with --printer, its output read from a pipe. "
                "Both are timed from CreateProcess to the end of the process, so each pays one start-up, and the tool "
                "must leave the very table the floor does. Spooler calls in one import, zeltra-forms.exe/floor, from "
                "the stand-in's log:");
    for (size_t i = 0; i < ImportCalls.size(); ++i)
        std::printf("%s %s", i ? ";" : "", ImportCalls[i].c_str());
    std::printf(".\n\nThe stand-in spooler reads its whole state file on every call and rewrites it, flushed to "
                "disk, on every change, so each AddFormW costs more the more forms there are, and an import's time "
                "grows faster than linearly with its size on both sides alike. The floor's spooler calls took");
    for (size_t i = 0; i < ImportGrowth.size(); ++i)
        std::printf("%s %s", i ? ";" : "", ImportGrowth[i].c_str());
    std::printf(", each with a flush to disk, whose time varies with the load on the machine. These are the "
                "stand-in's costs under Wine, not Windows' spooler's: only the ratios speak of the tool.\n");
}

void PrintReport(size_t boxesSeen)
{
    std::printf("## Zeltra benchmark (Wine, median of the repetitions)\n\n");
    std::printf("| Measure | Forms | Zeltra | Floor | Ratio | Goal | Repetitions |\n|---|---|---|---|---|---|---|\n");
    for (const std::string& line : Table)
        std::printf("%s\n", line.c_str());
    std::printf("\nFloors: the same rows inserted into the same list view from texts made in advance, with the "
                "messages RebuildFormList sends (redraw held while the rows go in), and for the frame the same with "
                "the repaint; for start-up, size and memory, a minimal program that opens one window.\n");
    if (!ImportCalls.empty())
        PrintImportNotes();
    if (RowsPerSecond > 0)
        std::printf("\nRebuild at 1,000 forms: %.0f rows/s; keystroke and repaint at 1,000 forms: %.2f ms.\n",
                    RowsPerSecond, KeystrokeFrame1000);
    std::printf("\nHolding redraw while the rows go in against redrawing after every row, the painted list is the");
    for (size_t i = 0; i < SameScreen.size(); ++i)
        std::printf("%s %s", i ? ";" : "", SameScreen[i].c_str());
    std::printf(".\n");
    std::printf("\n### Where one rebuild's time goes (one profiled keystroke each)\n\n");
    std::printf("| Forms | Search | Total | Inside list-view messages | Window's WM_NOTIFY (inside those) | Status "
                "line | Product's own code | Per message |\n|---|---|---|---|---|---|---|---|\n");
    for (const std::string& line : Profiles)
        std::printf("%s\n", line.c_str());
    if (boxesSeen)
        std::printf("\nWarning: %zu message boxes came up during the benchmark.\n", boxesSeen);
}

} // namespace

int main()
{
    if (!OpenWindow())
        return 1;
    for (size_t n : Sizes())
        if (!MeasureList(n))
            return 1;
    if (!MeasureImports())
        return 1;
    if (!MeasureStartup())
        return 1;
    PrintReport(TakeBoxes().size());

    DestroyWindow(MainWindow);
    PumpPending();
    StopBoxRecorder();
    return 0;
}
