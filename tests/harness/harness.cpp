#include "harness/harness.h"

#include <commctrl.h>

#include <cstdio>
#include <deque>
#include <sstream>

#include "app/app.h"
#include "spooler/spooler.h"
#include "standin.h"

namespace {
// The product loads its spooler in RunZeltraPaper; tests start from CreateMainWindow.
const bool SpoolerLoaded = [] {
    std::wstring missing;
    return LoadSpoolerFunctions(&missing);
}();
} // namespace

// --- Message loop ---

void PumpPending()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (condition())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        // Wakes as soon as anything arrives for this thread.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed < 20 ? timeoutMs - elapsed : 20, QS_ALLINPUT);
    }
}

// --- Text conversions ---

std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// --- The stand-in spooler ---

void UseSpoolerState(const std::string& stateText)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "no-test";
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':')
            c = '_';
    const std::wstring path = L"state-" + Widen(name) + L".txt";
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_STATE", path.c_str());
    ASSERT_TRUE(StandInSetState(stateText.c_str())) << "the stand-in refused the state:\n" << stateText;
    StandInResetCounters();
}

namespace {
// A text the stand-in copies out: asked for its size, then filled, without its NUL.
std::string StandInText(DWORD(WINAPI* copy)(char*, DWORD))
{
    const DWORD needed = copy(nullptr, 0);
    std::string text(needed, '\0');
    copy(&text[0], needed);
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}
} // namespace

std::string SpoolerState() { return StandInText(StandInGetState); }

std::string SpoolerLog() { return StandInText(StandInGetLog); }

std::vector<std::string> PersistedFormLines()
{
    std::vector<std::string> lines;
    std::istringstream in(SpoolerState());
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("form ", 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

std::string Quote(const std::wstring& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += Narrow(std::wstring(1, c));
        }
    }
    return out + "\"";
}

std::wstring SystemText(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (!text)
        return L"未知错误";
    std::wstring result(text);
    LocalFree(text);
    return result;
}

// --- Message boxes ---

namespace {

HHOOK BoxHook;
std::deque<int> BoxAnswers;
std::vector<RecordedBox> Boxes;

BoxIcon IconOf(HWND dialog)
{
    // The icon static is id 20 on Windows and 1088 in Wine's template.
    for (int id : {20, 1088}) {
        HWND icon = GetDlgItem(dialog, id);
        if (!icon)
            continue;
        HICON shown = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
        if (!shown)
            continue;
        const struct {
            LPCWSTR resource;
            BoxIcon kind;
        } kinds[] = {{IDI_INFORMATION, BoxIcon::Information},
                     {IDI_ERROR, BoxIcon::Error},
                     {IDI_WARNING, BoxIcon::Warning},
                     {IDI_QUESTION, BoxIcon::Question}};
        for (const auto& kind : kinds)
            if (shown == LoadIconW(nullptr, kind.resource))
                return kind.kind;
    }
    return BoxIcon::None;
}

LRESULT CALLBACK BoxHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND dialog = reinterpret_cast<HWND>(wParam);
        wchar_t className[32] = {};
        GetClassNameW(dialog, className, 32);
        if (std::wstring(className) == L"#32770") {
            RecordedBox box;
            box.owner = GetWindow(dialog, GW_OWNER);
            box.ownerVisible = box.owner && IsWindowVisible(box.owner);
            wchar_t text[4096] = {};
            GetWindowTextW(dialog, text, 4096);
            box.caption = text;
            text[0] = L'\0';
            GetDlgItemTextW(dialog, 0xFFFF, text, 4096);
            box.text = text;
            box.icon = IconOf(dialog);
            for (int id = IDOK; id <= IDNO; ++id) {
                HWND button = GetDlgItem(dialog, id);
                if (button && (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE))
                    box.buttons.push_back(id);
            }
            int answer;
            if (BoxAnswers.empty()) {
                ADD_FAILURE() << "unexpected message box, caption \"" << Narrow(box.caption) << "\", text \""
                              << Narrow(box.text) << "\"";
                answer = box.buttons.empty() ? IDOK : box.buttons.back();
            } else {
                answer = BoxAnswers.front();
                BoxAnswers.pop_front();
            }
            Boxes.push_back(box);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, answer)));
        }
    }
    return CallNextHookEx(BoxHook, code, wParam, lParam);
}

} // namespace

void StartBoxRecorder()
{
    BoxAnswers.clear();
    Boxes.clear();
    if (!BoxHook)
        BoxHook = SetWindowsHookExW(WH_CBT, BoxHookProc, nullptr, GetCurrentThreadId());
}

void StopBoxRecorder()
{
    if (BoxHook)
        UnhookWindowsHookEx(BoxHook);
    BoxHook = nullptr;
}

void ExpectBox(int answer) { BoxAnswers.push_back(answer); }

std::vector<RecordedBox> TakeBoxes()
{
    std::vector<RecordedBox> taken;
    taken.swap(Boxes);
    return taken;
}

void ForgetBoxAnswers() { BoxAnswers.clear(); }

size_t UnusedBoxAnswers() { return BoxAnswers.size(); }

// --- The main window ---

HWND OpenMainWindow()
{
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    PumpPending();
    return window;
}

void ShowMainWindow()
{
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    UpdateWindow(MainWindow);
    PumpPending();
}

void CloseMainWindow()
{
    if (MainWindow && IsWindow(MainWindow))
        DestroyWindow(MainWindow);
    MainWindow = nullptr;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageW(&msg);
    }
}

// --- User actions ---

void ClickButton(HWND button)
{
    SendMessageW(button, BM_CLICK, 0, 0);
    PumpPending();
}

void SetCheck(HWND checkBox, bool checked)
{
    const bool now = SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (now != checked)
        ClickButton(checkBox);
}

void TypeInto(HWND edit, const std::wstring& text)
{
    SetWindowTextW(edit, text.c_str());
    PumpPending();
}

void SelectRow(int row)
{
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (row < 0) {
        state.state = 0;
        SendMessageW(FormList, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    } else {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(FormList, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    }
    PumpPending();
}

void ChoosePrinter(int index)
{
    SendMessageW(PrinterCombo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDC_PRINTER_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(PrinterCombo));
    PumpPending();
}

// --- Reading what the window shows ---

std::wstring TextOf(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::vector<ListRow> ListRows()
{
    std::vector<ListRow> rows;
    const int count = static_cast<int>(SendMessageW(FormList, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ListRow row;
        for (int column = 0; column < 2; ++column) {
            wchar_t text[512] = {};
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 512;
            SendMessageW(FormList, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            (column == 0 ? row.name : row.size) = text;
        }
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageW(FormList, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        row.param = item.lParam;
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::wstring> PrinterEntries()
{
    std::vector<std::wstring> entries;
    const int count = static_cast<int>(SendMessageW(PrinterCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const int length = static_cast<int>(SendMessageW(PrinterCombo, CB_GETLBTEXTLEN, i, 0));
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(PrinterCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        entries.push_back(text);
    }
    return entries;
}

int SelectedPrinterIndex() { return static_cast<int>(SendMessageW(PrinterCombo, CB_GETCURSEL, 0, 0)); }

bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

// --- Fixture ---

void MainWindowTest::SetUp()
{
    ASSERT_TRUE(SpoolerLoaded) << "the spooler's functions could not be loaded from the system folder";
    StartBoxRecorder();
}

void MainWindowTest::TearDown()
{
    CloseMainWindow();
    EXPECT_EQ(0u, UnusedBoxAnswers()) << "a message box the test expected never came";
    EXPECT_EQ(0, StandInOpenHandles()) << "a printer handle was left open";
    StopBoxRecorder();
}
