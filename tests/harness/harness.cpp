#include "harness/harness.h"

#include <commctrl.h>

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

// --- Texts ---

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
    const std::wstring path = L"state-" + Widen(CurrentTestName()) + L".txt";
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

std::vector<std::string> PersistedFormLines() { return FormLinesOf(SpoolerState()); }

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
