#include "driver.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "support/message_boxes.h"
#include "support/pump.h"

namespace e2e {

namespace {

const DWORD StartTimeoutMs = 20000;
const DWORD ActionTimeoutMs = 10000;
const DWORD ReplyTimeoutMs = 5000;
// Between two looks at the screen the driver waits on its own queue and the tool's process handle.
const DWORD PollMs = 10;
const DWORD IconPaintTimeoutMs = 1000;

// The remote page: one LVITEMW record, then the text buffer it points at.
const SIZE_T RemoteSize = 65536;
const SIZE_T RemoteTextOffset = 512;
const int RemoteTextCapacity = 4096;

std::string ControlName(int id)
{
    static const struct {
        int id;
        const char* name;
    } names[] = {{IDC_PRINTER_COMBO, "printer drop-down"},
                 {IDC_FORM_LIST, "form list"},
                 {IDC_NAME_EDIT, "name box"},
                 {IDC_WIDTH_EDIT, "width box"},
                 {IDC_HEIGHT_EDIT, "height box"},
                 {IDC_ADD_BUTTON, "添加 button"},
                 {IDC_MODIFY_BUTTON, "修改 button"},
                 {IDC_DELETE_BUTTON, "删除 button"},
                 {IDC_REFRESH_BUTTON, "刷新 button"},
                 {IDC_STATUS_TEXT, "status line"},
                 {IDC_CUSTOM_ONLY_CHECK, "custom-only check box"},
                 {IDC_SEARCH_EDIT, "search box"},
                 {IDC_PRESET_HALF, "二等分 preset"},
                 {IDC_PRESET_THIRD, "三等分 preset"},
                 {IDC_PRESET_101, "241×101.6 preset"},
                 {IDC_PRESET_127, "241×127 preset"}};
    for (const auto& n : names)
        if (n.id == id)
            return n.name;
    return "control " + std::to_string(id);
}

struct Completion {
    bool done = false;
};

void CALLBACK OnHandled(HWND, UINT, ULONG_PTR data, LRESULT)
{
    reinterpret_cast<Completion*>(data)->done = true;
}

// Sends a message whose handler must not raise a box; false when it did not return in time.
bool SendAndWait(HWND target, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(target, message, wParam, lParam, SMTO_NORMAL, ReplyTimeoutMs,
                               result ? result : &ignored) != 0;
}

std::wstring WindowText(HWND window)
{
    // WM_GETTEXT is carried across processes; an edit box keeps its text where only it can answer.
    DWORD_PTR length = 0;
    if (!SendAndWait(window, WM_GETTEXTLENGTH, 0, 0, &length))
        return L"(no answer to WM_GETTEXTLENGTH)";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendAndWait(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied))
        return L"(no answer to WM_GETTEXT)";
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

DWORD ProcessOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

HWND FindMainWindowOf(DWORD processId)
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, MainWindowClassName, nullptr)) != nullptr)
        if (ProcessOf(window) == processId)
            return window;
    return nullptr;
}

struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK LookAtTopLevel(HWND window, LPARAM data)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(data);
    if (ProcessOf(window) == search->processId && ClassOf(window) == L"#32770" && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// --- Recognising the icon of a box ---

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> bgrx;
};

// Runs draw on a 32-bit top-down bitmap of the given size and returns what it holds afterwards.
Pixels DrawnPixels(int width, int height, const std::function<void(HDC memory, HDC screen, DWORD* bits)>& draw)
{
    Pixels pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    pixels.width = width;
    pixels.height = height;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (bits) {
        draw(memory, screen, static_cast<DWORD*>(bits));
        GdiFlush();
        const DWORD* words = static_cast<const DWORD*>(bits);
        pixels.bgrx.assign(words, words + static_cast<size_t>(width) * height);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// What the screen shows in a rectangle (Xvfb keeps every window's pixels readable).
Pixels CaptureScreen(const RECT& rect)
{
    return DrawnPixels(rect.right - rect.left, rect.bottom - rect.top, [&](HDC memory, HDC screen, DWORD*) {
        BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
    });
}

// The icon as this process draws it on the given background, at the size shown.
Pixels RenderIcon(HICON icon, int width, int height, DWORD backgroundBgrx)
{
    return DrawnPixels(width, height, [&](HDC memory, HDC, DWORD* bits) {
        for (int i = 0; i < width * height; ++i)
            bits[i] = backgroundBgrx;
        DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    });
}

// Pixels whose colour differs by more than a rounding step in any channel.
int DifferentPixels(const Pixels& a, const Pixels& b)
{
    if (a.width != b.width || a.height != b.height || a.bgrx.empty())
        return -1;
    int different = 0;
    for (size_t i = 0; i < a.bgrx.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            const int x = static_cast<int>((a.bgrx[i] >> shift) & 0xFF);
            const int y = static_cast<int>((b.bgrx[i] >> shift) & 0xFF);
            if (std::abs(x - y) > 2) {
                ++different;
                break;
            }
        }
    }
    return different;
}

struct IconKind {
    LPCWSTR resource;
    BoxIcon kind;
};
const IconKind IconKinds[] = {
    {IDI_INFORMATION, BoxIcon::Information}, {IDI_ERROR, BoxIcon::Error}, {IDI_WARNING, BoxIcon::Warning}};

// The icon kind a box shows, recognised from outside its process.
BoxIcon IconOf(HWND box)
{
    // The icon static is id 20 on Windows and 1088 in Wine's template.
    for (int id : {20, 1088}) {
        HWND icon = GetDlgItem(box, id);
        if (!icon || !IsWindowVisible(icon))
            continue;
        DWORD_PTR shown = 0;
        SendAndWait(icon, STM_GETICON, 0, 0, &shown);
        if (!shown)
            continue;
        // Where the system hands every process the same shared icon, the handle tells; Wine
        // gives each process its own handle, so there the pixels must.
        for (const IconKind& kind : IconKinds)
            if (reinterpret_cast<HICON>(shown) == LoadIconW(nullptr, kind.resource))
                return kind.kind;
        // Otherwise compare what the box shows with each icon drawn here on the same background.
        RECT rect;
        GetWindowRect(icon, &rect);
        const DWORD start = GetTickCount();
        do {
            const Pixels onScreen = CaptureScreen(rect);
            if (onScreen.bgrx.empty())
                break;
            for (const IconKind& kind : IconKinds) {
                const Pixels drawn = RenderIcon(LoadIconW(nullptr, kind.resource), onScreen.width, onScreen.height,
                                                onScreen.bgrx[0]);
                if (DifferentPixels(onScreen, drawn) == 0)
                    return kind.kind;
            }
            // The box may not have painted yet.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, PollMs, QS_ALLINPUT);
        } while (GetTickCount() - start < IconPaintTimeoutMs);
        return BoxIcon::Unrecognised;
    }
    return BoxIcon::None;
}

} // namespace

// --- Texts ---

std::string SystemText(DWORD code)
{
    return Narrow(::SystemText(code, L"(the system has no text for " + std::to_wstring(code) + L")"));
}

std::ostream& operator<<(std::ostream& out, BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::None: return out << "no icon";
    case BoxIcon::Information: return out << "information icon";
    case BoxIcon::Error: return out << "error icon";
    case BoxIcon::Warning: return out << "warning icon";
    case BoxIcon::Unrecognised: return out << "an icon that is none of information, error, warning";
    }
    return out;
}

std::string ColorText(COLORREF color)
{
    if (color == CLR_INVALID)
        return "(outside the capture)";
    return "(" + std::to_string(GetRValue(color)) + ", " + std::to_string(GetGValue(color)) + ", " +
           std::to_string(GetBValue(color)) + ")";
}

// --- State file ---

SpoolerState::SpoolerState(const std::string& name)
{
    wchar_t directory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, directory);
    path_ = std::wstring(directory) + L"\\e2e-state-" + Widen(name) + L".txt";
}

void SpoolerState::Write(const std::string& text) const
{
    // The spooler's own lock, so the tool never reads a file half replaced.
    HANDLE lock = CreateMutexW(nullptr, FALSE, L"Local\\ZeltraStandInSpoolerState");
    ASSERT_NE(nullptr, lock) << "cannot create the spooler's state lock, error " << GetLastError();
    const DWORD waited = WaitForSingleObject(lock, ReplyTimeoutMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(lock);
        FAIL() << "the spooler's state lock stayed taken for " << ReplyTimeoutMs << " ms";
    }
    const std::wstring temporary = path_ + L".e2e.tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    const bool moved = ok && MoveFileExW(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
    const DWORD error = GetLastError();
    ReleaseMutex(lock);
    CloseHandle(lock);
    ASSERT_TRUE(moved) << "cannot write " << Narrow(path_) << ", error " << error;
}

std::string SpoolerState::Read() const
{
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot read " << Narrow(path_) << ", error " << GetLastError();
        return std::string();
    }
    std::string text;
    char chunk[8192];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        text.append(chunk, got);
    CloseHandle(file);
    return text;
}

std::vector<std::string> SpoolerState::FormLines() const { return FormLinesOf(Read()); }

// --- The tool ---

Tool::~Tool()
{
    if (process_) {
        if (!Exited()) {
            // Only after a failure: this scenario's own child, by its handle.
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, ReplyTimeoutMs);
        }
        CloseHandle(process_);
    }
}

bool Tool::Exited() const { return !process_ || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }

bool Tool::Running() const { return process_ && !Exited(); }

bool Tool::Launch(const SpoolerState& state, int showCommand)
{
    if (process_) {
        ADD_FAILURE() << "the driver started the tool twice without closing it";
        return false;
    }
    // The child inherits the environment: the stand-in spooler finds its state file there.
    SetEnvironmentVariableW(L"ZELTRA_SPOOLER_STATE", state.Path().c_str());
    const std::wstring exe = exe_.empty() ? WindowsPath(ZELTRA_EXE_PATH) : exe_;
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (showCommand >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showCommand);
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "CreateProcessW(" << Narrow(exe) << ") failed with error " << GetLastError();
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    return true;
}

std::vector<Box> Tool::Start(const SpoolerState& state, std::vector<int> answers, int showCommand)
{
    if (!Launch(state, showCommand))
        return {};
    remote_ = VirtualAllocEx(process_, nullptr, RemoteSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    EXPECT_NE(nullptr, remote_) << "VirtualAllocEx in the tool failed with error " << GetLastError();

    std::vector<Box> boxes = Attend(
        [this] {
            main_ = FindMainWindowOf(processId_);
            return main_ && IsWindowVisible(main_);
        },
        std::move(answers), "starting ZeltraPaper.exe until its main window is shown", StartTimeoutMs);
    if (!main_ || !IsWindowVisible(main_)) {
        ADD_FAILURE() << "no visible window of class " << Narrow(MainWindowClassName)
                      << " belongs to the started process";
        return boxes;
    }
    // The tool answers once its thread takes messages again, after showing the window.
    EXPECT_TRUE(SendAndWait(main_, WM_NULL, 0, 0)) << "the main window did not answer after start-up";
    ExpectNoBox("start-up");
    return boxes;
}

void Tool::Close()
{
    if (!Running()) {
        ADD_FAILURE() << "the tool was not running when the scenario closed it";
        return;
    }
    PostMessageW(main_, WM_CLOSE, 0, 0);
    Attend([this] { return Exited(); }, {}, "closing the main window until the process ends", ActionTimeoutMs);
    if (!Exited())
        return;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    EXPECT_EQ(0u, code) << "exit code of ZeltraPaper.exe after WM_CLOSE";
    CloseHandle(process_);
    process_ = nullptr;
    main_ = nullptr;
    remote_ = nullptr;
}

std::vector<Box> Tool::Attend(const std::function<bool()>& finished, std::vector<int> answers, const std::string& what,
                              DWORD timeoutMs)
{
    std::vector<Box> boxes;
    size_t next = 0;
    const DWORD start = GetTickCount();
    for (;;) {
        // The replies to SendMessageCallbackW arrive while this thread retrieves messages.
        PumpPending();
        if (HWND box = FindBox()) {
            Box seen = ReadBox(box);
            int answer;
            if (next < answers.size()) {
                answer = answers[next++];
            } else {
                ADD_FAILURE() << "unexpected message box while " << what << ": caption \"" << seen.caption
                              << "\", text \"" << seen.text << "\"";
                // No is the answer that changes nothing when a question was not expected.
                answer = seen.buttons.empty() ? IDOK : seen.buttons.back();
            }
            boxes.push_back(seen);
            Answer(box, answer);
            continue;
        }
        // Taken before the condition, so a condition that is the exit itself cannot be overtaken.
        const bool exited = Exited();
        if (finished())
            break;
        if (exited) {
            DWORD code = 0;
            GetExitCodeProcess(process_, &code);
            ADD_FAILURE() << "ZeltraPaper.exe ended (exit code " << code << ") while " << what;
            break;
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) {
            ADD_FAILURE() << "timed out after " << timeoutMs << " ms " << what;
            break;
        }
        MsgWaitForMultipleObjects(1, &process_, FALSE, PollMs, QS_ALLINPUT);
    }
    if (next < answers.size())
        ADD_FAILURE() << "expected " << answers.size() << " message box(es) while " << what << ", but "
                      << next << " came";
    return boxes;
}

std::vector<Box> Tool::SendAndAttend(HWND target, UINT message, WPARAM wParam, LPARAM lParam,
                                     std::vector<int> answers, const std::string& what)
{
    if (!Running()) {
        ADD_FAILURE() << "the tool is not running; cannot go on " << what;
        return {};
    }
    PumpPending(); // this thread needs a queue for the reply
    // Not on the stack: after a timeout the reply may still come during a later wait.
    Completion* completion = new Completion;
    if (!SendMessageCallbackW(target, message, wParam, lParam, OnHandled, reinterpret_cast<ULONG_PTR>(completion))) {
        ADD_FAILURE() << "SendMessageCallbackW failed with error " << GetLastError() << " " << what;
        delete completion;
        return {};
    }
    std::vector<Box> boxes =
        Attend([completion] { return completion->done; }, std::move(answers), what, ActionTimeoutMs);
    if (completion->done)
        delete completion;
    return boxes;
}

HWND Tool::FindBox() const
{
    BoxSearch search = {processId_, nullptr};
    if (processId_)
        EnumWindows(LookAtTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

Box Tool::ReadBox(HWND box) const
{
    // A box answers sent messages once its modal loop runs: its texts are in place by then.
    SendAndWait(box, WM_NULL, 0, 0);
    Box seen;
    seen.caption = Narrow(WindowText(box));
    seen.text = Narrow(WindowText(GetDlgItem(box, 0xFFFF)));
    seen.buttons = VisibleButtons(box);
    HWND main = FindMainWindowOf(processId_);
    seen.ownedByMainWindow = main && GetWindow(box, GW_OWNER) == main;
    seen.mainWindowShown = main && IsWindowVisible(main);

    seen.icon = IconOf(box);
    return seen;
}

void Tool::Answer(HWND box, int id)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    const DWORD start = GetTickCount();
    while (IsWindow(box) && IsWindowVisible(box)) {
        if (GetTickCount() - start >= ActionTimeoutMs) {
            ADD_FAILURE() << "the message box did not close after button " << id << " was pressed";
            return;
        }
        MsgWaitForMultipleObjects(1, &process_, FALSE, PollMs, QS_ALLINPUT);
        PumpPending();
    }
}

void Tool::ExpectNoBox(const std::string& after)
{
    Attend([] { return true; }, {}, "checking that no message box is left after " + after, ActionTimeoutMs);
}

std::vector<Box> Tool::Press(int id, std::vector<int> answers)
{
    HWND button = Child(id);
    if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) {
        ADD_FAILURE() << "a user cannot press the " << ControlName(id) << ": "
                      << (!button ? "it does not exist" : !IsWindowVisible(button) ? "it is hidden" : "it is disabled");
        return {};
    }
    return SendAndAttend(button, BM_CLICK, 0, 0, std::move(answers), "pressing the " + ControlName(id));
}

void Tool::Type(int id, const std::wstring& text)
{
    HWND edit = Child(id);
    ASSERT_NE(nullptr, edit) << "no " << ControlName(id);
    // WM_SETTEXT is carried across processes, and the edit box sends its own EN_CHANGE.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                             ActionTimeoutMs, &ignored))
        ADD_FAILURE() << "typing \"" << Narrow(text) << "\" into the " << ControlName(id) << " did not finish";
    ExpectNoBox("typing into the " + ControlName(id));
}

void Tool::SelectRow(int row)
{
    ASSERT_NE(nullptr, remote_);
    // The list view reads the record in its own memory and sends its own LVN_ITEMCHANGED.
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = row < 0 ? 0 : LVIS_SELECTED | LVIS_FOCUSED;
    SIZE_T written = 0;
    ASSERT_TRUE(WriteProcessMemory(process_, remote_, &item, sizeof(item), &written)) << "error " << GetLastError();
    SendAndAttend(Child(IDC_FORM_LIST), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote_),
                  {}, "selecting row " + std::to_string(row));
}

std::vector<Box> Tool::ChoosePrinter(int index, std::vector<int> answers)
{
    HWND combo = Child(IDC_PRINTER_COMBO);
    DWORD_PTR result = 0;
    if (!SendAndWait(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &result) ||
        static_cast<LRESULT>(result) != index) {
        ADD_FAILURE() << "the printer drop-down has no entry " << index;
        return {};
    }
    // A drop-down sends CBN_SELCHANGE only for the user's own choice, so the driver sends it.
    return SendAndAttend(main_, WM_COMMAND, MAKEWPARAM(IDC_PRINTER_COMBO, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo), std::move(answers),
                         "choosing printer " + std::to_string(index));
}

void Tool::WaitUntil(const std::function<bool()>& condition, const std::string& what)
{
    Attend(condition, {}, what, ActionTimeoutMs);
}

std::string Tool::Text(int id) const { return Narrow(WindowText(Child(id))); }

bool Tool::Enabled(int id) const { return IsWindowEnabled(Child(id)) != FALSE; }

bool Tool::Checked(int id) const
{
    DWORD_PTR state = 0;
    SendAndWait(Child(id), BM_GETCHECK, 0, 0, &state);
    return state == BST_CHECKED;
}

std::vector<std::string> Tool::Rows() const
{
    std::vector<std::string> rows;
    HWND list = Child(IDC_FORM_LIST);
    DWORD_PTR count = 0;
    if (!remote_ || !SendAndWait(list, LVM_GETITEMCOUNT, 0, 0, &count)) {
        ADD_FAILURE() << "the form list did not answer LVM_GETITEMCOUNT";
        return rows;
    }
    BYTE* remote = static_cast<BYTE*>(remote_);
    for (int row = 0; row < static_cast<int>(count); ++row) {
        std::string line;
        for (int column = 0; column < 2; ++column) {
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<wchar_t*>(remote + RemoteTextOffset);
            item.cchTextMax = RemoteTextCapacity;
            std::wstring text(RemoteTextCapacity, L'\0');
            SIZE_T moved = 0;
            DWORD_PTR length = 0;
            if (!WriteProcessMemory(process_, remote, &item, sizeof(item), &moved) ||
                !SendAndWait(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote), &length) ||
                !ReadProcessMemory(process_, remote + RemoteTextOffset, &text[0], text.size() * sizeof(wchar_t), &moved)) {
                ADD_FAILURE() << "cannot read row " << row << " column " << column << " of the form list";
                return rows;
            }
            text.resize(static_cast<size_t>(length));
            line += (column == 0 ? "" : " | ") + Narrow(text);
        }
        rows.push_back(line);
    }
    return rows;
}

int Tool::SelectedRow() const
{
    DWORD_PTR row = static_cast<DWORD_PTR>(-1);
    SendAndWait(Child(IDC_FORM_LIST), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, &row);
    return static_cast<int>(static_cast<LRESULT>(row));
}

std::vector<std::string> Tool::Printers() const
{
    std::vector<std::string> entries;
    HWND combo = Child(IDC_PRINTER_COMBO);
    DWORD_PTR count = 0;
    SendAndWait(combo, CB_GETCOUNT, 0, 0, &count);
    for (int i = 0; i < static_cast<int>(count); ++i) {
        DWORD_PTR length = 0;
        SendAndWait(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, &length);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendAndWait(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        entries.push_back(Narrow(text));
    }
    return entries;
}

int Tool::PrinterSelection() const
{
    DWORD_PTR selection = static_cast<DWORD_PTR>(CB_ERR);
    SendAndWait(Child(IDC_PRINTER_COMBO), CB_GETCURSEL, 0, 0, &selection);
    return static_cast<int>(static_cast<LRESULT>(selection));
}

// --- Screen capture ---

Capture::Capture(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    clientOffset_ = {origin.x - rect.left, origin.y - rect.top};
    Pixels pixels = CaptureScreen(rect);
    width_ = pixels.width;
    height_ = pixels.height;
    bits_.resize(pixels.bgrx.size() * 4);
    if (!bits_.empty())
        std::memcpy(bits_.data(), pixels.bgrx.data(), bits_.size());
}

COLORREF Capture::ClientPixel(int x, int y) const
{
    const int cx = x + clientOffset_.x;
    const int cy = y + clientOffset_.y;
    if (cx < 0 || cy < 0 || cx >= width_ || cy >= height_)
        return CLR_INVALID;
    const BYTE* p = &bits_[(static_cast<size_t>(cy) * width_ + cx) * 4];
    return RGB(p[2], p[1], p[0]);
}

bool Capture::SaveBmp(const std::wstring& path) const
{
    const DWORD stride = (static_cast<DWORD>(width_) * 3 + 3) & ~3u;
    const DWORD pixelBytes = stride * static_cast<DWORD>(height_);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width_;
    header.biHeight = height_; // bottom-up, as every viewer reads it
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = pixelBytes;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + pixelBytes;
    std::vector<BYTE> rows(pixelBytes, 0);
    for (int y = 0; y < height_; ++y) {
        BYTE* out = &rows[static_cast<size_t>(height_ - 1 - y) * stride];
        for (int x = 0; x < width_; ++x) {
            const BYTE* in = &bits_[(static_cast<size_t>(y) * width_ + x) * 4];
            out[x * 3] = in[0];
            out[x * 3 + 1] = in[1];
            out[x * 3 + 2] = in[2];
        }
    }
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(handle, &file, sizeof(file), &written, nullptr) && written == sizeof(file);
    ok = ok && WriteFile(handle, &header, sizeof(header), &written, nullptr) && written == sizeof(header);
    ok = ok && WriteFile(handle, rows.data(), pixelBytes, &written, nullptr) && written == pixelBytes;
    CloseHandle(handle);
    return ok;
}

} // namespace e2e
