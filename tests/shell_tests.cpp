// The application shell: window class, main window, the sixteen controls, routing, resources.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "app/app.h"
#include "harness/harness.h"
#include "spooler/spooler.h"
#include "standin.h"
#include "style/style.h"

namespace {

const char OnePrinter[] =
    "admin yes\n"
    "standard-forms no\n"
    "printer \"Shell Printer\"\n"
    "default \"Shell Printer\"\n"
    "form user 241000 93000 0 0 241000 93000 \"Shell Form\"\n";

// What CreateWindowExW was asked for, per control id, seen through a CBT hook.
struct Creation {
    std::wstring className;
    std::wstring text;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {};
    HWND parent = nullptr;
};
std::map<int, Creation> Creations;
HHOOK CreationHook;

LRESULT CALLBACK CreationHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CBT_CREATEWNDW* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        const CREATESTRUCTW* cs = create->lpcs;
        if ((cs->style & WS_CHILD) && cs->hwndParent == MainWindow && !IS_INTRESOURCE(cs->lpszClass)) {
            Creation c;
            // With common controls 6 the system prefixes the class with its version ("6.0...!Edit").
            c.className = cs->lpszClass;
            const size_t bang = c.className.find(L'!');
            if (bang != std::wstring::npos)
                c.className = c.className.substr(bang + 1);
            c.text = cs->lpszName ? cs->lpszName : L"";
            c.style = static_cast<DWORD>(cs->style);
            c.exStyle = cs->dwExStyle;
            c.rect = {cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy};
            c.parent = cs->hwndParent;
            const int id = static_cast<int>(reinterpret_cast<INT_PTR>(cs->hMenu));
            if (!Creations.count(id))
                Creations[id] = c;
        }
    }
    return CallNextHookEx(CreationHook, code, wParam, lParam);
}

RECT ClientRectOf(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Describe(const RECT& r)
{
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

class ShellTest : public MainWindowTest {};

} // namespace

TEST_F(ShellTest, MainWindowHasItsClassTitleStyleAndFixedSize)
{
    UseSpoolerState(OnePrinter);
    HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, MainWindow);

    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(L"VornPaperManagerV10", className);
    EXPECT_EQ(L"Zeltra \u00B7 纸张管理", TextOf(window));
    EXPECT_EQ(0x02CA0000u, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & ~(WS_VISIBLE | WS_MINIMIZE | WS_CLIPSIBLINGS))
        << std::hex << GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(0u, static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)) & ~WS_EX_WINDOWEDGE);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(916, outer.right - outer.left);
    EXPECT_EQ(620, outer.bottom - outer.top);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"VornPaperManagerV10", &wc));
    EXPECT_EQ(0u, wc.style);
    EXPECT_EQ(MainWndProc, wc.lpfnWndProc);
    EXPECT_NE(nullptr, wc.hIcon);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), wc.hbrBackground);
}

TEST_F(ShellTest, CreatesSixteenControlsWithTheirIdsClassesTextsStylesAndLayout)
{
    UseSpoolerState(OnePrinter);
    Creations.clear();
    CreationHook = SetWindowsHookExW(WH_CBT, CreationHookProc, nullptr, GetCurrentThreadId());
    HWND window = OpenMainWindow();
    UnhookWindowsHookEx(CreationHook);
    ASSERT_NE(nullptr, window);

    const struct {
        int id;
        const wchar_t* className;
        const wchar_t* text;
        DWORD style;
        RECT rect;
    } expected[] = {
        {101, L"ComboBox", L"", 0x50200003, {100, 84, 750, 112}},
        {109, L"Button", L"刷新", 0x5000000B, {764, 82, 856, 114}},
        {111, L"Button", L"仅显示自定义纸张", 0x50000003, {40, 184, 210, 208}},
        {112, L"EDIT", L"", 0x50000080, {348, 184, 574, 208}},
        {102, L"SysListView32", L"", 0x50800005, {40, 220, 574, 512}},
        {110, L"STATIC", L"", 0x50000000, {40, 520, 540, 542}},
        {113, L"Button", L"二等分 241\u00D7140", 0x5000000B, {626, 226, 738, 258}},
        {114, L"Button", L"三等分 241\u00D793", 0x5000000B, {746, 226, 858, 258}},
        {115, L"Button", L"241\u00D7101.6", 0x5000000B, {626, 266, 738, 298}},
        {116, L"Button", L"241\u00D7127", 0x5000000B, {746, 266, 858, 298}},
        {103, L"EDIT", L"Zeltra 241x140mm", 0x50000080, {682, 350, 858, 374}},
        {104, L"EDIT", L"241", 0x50000080, {682, 392, 818, 416}},
        {105, L"EDIT", L"140", 0x50000080, {682, 434, 818, 458}},
        {108, L"Button", L"删除", 0x5000000B, {626, 500, 694, 534}},
        {107, L"Button", L"修改", 0x5000000B, {702, 500, 770, 534}},
        {106, L"Button", L"添加", 0x5000000B, {778, 500, 858, 534}},
    };
    EXPECT_EQ(16u, Creations.size());
    for (const auto& e : expected) {
        SCOPED_TRACE("control " + std::to_string(e.id));
        ASSERT_TRUE(Creations.count(e.id));
        const Creation& c = Creations[e.id];
        EXPECT_EQ(0, lstrcmpiW(e.className, c.className.c_str())) << Narrow(c.className); // class names ignore case
        EXPECT_EQ(e.text, c.text);
        EXPECT_EQ(e.style, c.style) << std::hex << c.style;
        EXPECT_EQ(0u, c.exStyle);
        EXPECT_EQ(window, c.parent);
        EXPECT_EQ(0, c.rect.left | c.rect.top | c.rect.right | c.rect.bottom) << "created at " << Describe(c.rect);

        HWND child = GetDlgItem(window, e.id);
        ASSERT_NE(nullptr, child);
        RECT r = ClientRectOf(child);
        // A drop-down list sizes its closed height to its font; the height given is the list's reach.
        if (e.id == IDC_PRINTER_COMBO)
            r.bottom = e.rect.bottom;
        EXPECT_TRUE(EqualRect(&r, &e.rect)) << "laid out at " << Describe(r) << ", expected " << Describe(e.rect);
        EXPECT_EQ(UiFont, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    }
    // Creation order is the table's order: each control is a later sibling of the one before.
    HWND child = GetWindow(window, GW_CHILD);
    const int order[] = {101, 109, 111, 112, 102, 110, 113, 114, 115, 116, 103, 104, 105, 108, 107, 106};
    for (int id : order) {
        ASSERT_NE(nullptr, child);
        EXPECT_EQ(id, GetDlgCtrlID(child));
        child = GetWindow(child, GW_HWNDNEXT);
    }
}

TEST_F(ShellTest, ControlsStartAsTheUserFirstSeesThem)
{
    UseSpoolerState(OnePrinter);
    ASSERT_NE(nullptr, OpenMainWindow());

    EXPECT_EQ(BST_CHECKED, SendMessageW(CustomOnlyCheck, BM_GETCHECK, 0, 0));
    EXPECT_EQ(L"", TextOf(SearchEdit));
    wchar_t cue[64] = {};
    EXPECT_TRUE(SendMessageW(SearchEdit, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(cue), 64));
    EXPECT_STREQ(L"输入纸张名称", cue);
    EXPECT_EQ(L"Zeltra 241x140mm", TextOf(NameEdit));
    EXPECT_EQ(L"241", TextOf(WidthEdit));
    EXPECT_EQ(L"140", TextOf(HeightEdit));
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));
    EXPECT_TRUE(IsEnabled(AddButton));

    EXPECT_EQ(static_cast<LRESULT>(LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER),
              SendMessageW(FormList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    const struct {
        const wchar_t* text;
        int width;
    } columns[] = {{L"纸张名称", 320}, {L"尺寸", 190}};
    for (int i = 0; i < 2; ++i) {
        wchar_t text[64] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text;
        column.cchTextMax = 64;
        ASSERT_TRUE(SendMessageW(FormList, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(columns[i].text, text);
        EXPECT_EQ(columns[i].width, column.cx);
    }
    LVCOLUMNW third = {};
    third.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageW(FormList, LVM_GETCOLUMNW, 2, reinterpret_cast<LPARAM>(&third)));
}

TEST_F(ShellTest, EraseIsSwallowedAndDestroyPostsQuitWithCodeZero)
{
    UseSpoolerState(OnePrinter);
    HWND window = OpenMainWindow();
    ASSERT_NE(nullptr, window);
    HDC dc = GetDC(window);
    EXPECT_EQ(1, SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
    ReleaseDC(window, dc);

    DestroyWindow(window);
    MSG msg = {};
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            break;
        }
        DispatchMessageW(&msg);
    }
    EXPECT_TRUE(quit) << "no WM_QUIT after WM_DESTROY";
    EXPECT_EQ(0u, msg.wParam);
    MainWindow = nullptr;
}

TEST_F(ShellTest, UnroutedCommandsAndEditNotificationsChangeNothing)
{
    UseSpoolerState(OnePrinter);
    ASSERT_NE(nullptr, OpenMainWindow());
    const std::vector<ListRow> before = ListRows();
    const std::wstring status = TextOf(StatusText);
    StandInResetCounters();
    // Typing in the editor fields triggers nothing until a button is pressed.
    TypeInto(NameEdit, L"anything");
    TypeInto(WidthEdit, L"12");
    // Other codes of the filtered controls are not routed.
    SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDC_PRINTER_COMBO, CBN_DROPDOWN), reinterpret_cast<LPARAM>(PrinterCombo));
    SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDC_SEARCH_EDIT, EN_SETFOCUS), reinterpret_cast<LPARAM>(SearchEdit));
    PumpPending();
    EXPECT_EQ(0u, StandInCallCount("OpenPrinterW"));
    EXPECT_EQ(before.size(), ListRows().size());
    EXPECT_EQ(status, TextOf(StatusText));
}

TEST_F(ShellTest, ActivationGivesTheFocusBackToItsControlOrElseToTheFormList)
{
    UseSpoolerState(OnePrinter);
    ASSERT_NE(nullptr, OpenMainWindow());
    ShowMainWindow();
    EXPECT_EQ(FormList, GetFocus()) << "first activation";

    // A message box the window owns deactivates it: an invalid width added from the keyboard.
    SetFocus(WidthEdit);
    TypeInto(WidthEdit, L"5");
    ExpectBox(IDOK);
    SendMessageW(MainWindow, WM_COMMAND, IDC_ADD_BUTTON, reinterpret_cast<LPARAM>(AddButton));
    PumpPending();
    ASSERT_EQ(1u, TakeBoxes().size());
    EXPECT_EQ(WidthEdit, GetFocus()) << "after the message box";

    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == other; })) << "the other window never became active";
    SetActiveWindow(MainWindow);
    PumpPending();
    EXPECT_EQ(WidthEdit, GetFocus()) << "after another window was active";
    DestroyWindow(other);
}

// --- Resources of the built executable ---

namespace {

struct LoadedExe {
    HMODULE module = nullptr;
    LoadedExe() { module = LoadLibraryExW(WindowsPath(ZELTRA_EXE_PATH).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE); }
    ~LoadedExe()
    {
        if (module)
            FreeLibrary(module);
    }
};

std::string ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name)
{
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return std::string();
    HGLOBAL loaded = LoadResource(module, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return std::string(data, SizeofResource(module, found));
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* key)
{
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + key;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return L"(missing)";
    return value;
}

} // namespace

TEST(ExecutableResources, ManifestAsksForAdministratorAndCommonControls6)
{
    LoadedExe exe;
    ASSERT_NE(nullptr, exe.module) << Narrow(WindowsPath(ZELTRA_EXE_PATH));
    const std::string manifest = ResourceBytes(exe.module, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    ASSERT_FALSE(manifest.empty());
    for (const char* needle :
         {"level=\"requireAdministrator\"", "uiAccess=\"false\"", "name=\"Microsoft.Windows.Common-Controls\"",
          "version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
          "<assemblyIdentity version=\"1.0.0.0\"", "type=\"win32\"",
          "<description>Zeltra\xE8\x87\xAA\xE5\xAE\x9A\xE4\xB9\x89\xE7\xBA\xB8\xE5\xBC\xA0\xE7\xAE\xA1\xE7\x90\x86</description>"})
        EXPECT_NE(std::string::npos, manifest.find(needle)) << "manifest lacks " << needle;
}

TEST(ExecutableResources, IconHasSevenSizesAt32BitsAndLogoIs34By34At24Bits)
{
    LoadedExe exe;
    ASSERT_NE(nullptr, exe.module);
    const std::string group = ResourceBytes(exe.module, RT_GROUP_ICON, MAKEINTRESOURCEW(101));
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(7, count);
    ASSERT_EQ(6u + 14u * count, group.size());
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + 6 + 14 * i, sizeof(entry));
        sizes.push_back(entry.width == 0 ? 256 : entry.width);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(32, entry.bitCount) << "icon " << sizes.back();
        const std::string image = ResourceBytes(exe.module, RT_ICON, MAKEINTRESOURCEW(entry.id));
        EXPECT_EQ(entry.bytes, image.size());
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 24, 32, 48, 64, 128, 256}), sizes);

    const std::string bitmap = ResourceBytes(exe.module, RT_BITMAP, MAKEINTRESOURCEW(201));
    ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, bitmap.data(), sizeof(header));
    EXPECT_EQ(40u, header.biSize);
    EXPECT_EQ(34, header.biWidth);
    EXPECT_EQ(34, header.biHeight);
    EXPECT_EQ(24, header.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);
    EXPECT_EQ(40u + 34u * 104u, bitmap.size());
}

TEST(ExecutableResources, VersionNamesTheProductAndItsMaker)
{
    const std::wstring path = WindowsPath(ZELTRA_EXE_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(L"Zeltra", VersionString(block, L"CompanyName"));
    EXPECT_EQ(L"Zeltra自定义纸张管理", VersionString(block, L"FileDescription"));
    EXPECT_EQ(L"Zeltra自定义纸张管理", VersionString(block, L"ProductName"));
    EXPECT_EQ(L"1.0.0.0", VersionString(block, L"FileVersion"));
    EXPECT_EQ(L"1.0.0.0", VersionString(block, L"ProductVersion"));
}

// --- The spooler, taken from the system folder ---

TEST(SystemLibraries, TheSpoolerComesFromTheSystemFolderAndAModuleWithoutItIsNamed)
{
    std::wstring missing;
    ASSERT_TRUE(LoadSpoolerFunctions(&missing)) << Narrow(missing);
    wchar_t system[MAX_PATH], loaded[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    HMODULE spooler = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(Spooler.EnumFormsW)), &spooler);
    GetModuleFileNameW(spooler, loaded, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW((std::wstring(system) + L"\\winspool.drv").c_str(), loaded)) << Narrow(loaded);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(spooler, MAKEINTRESOURCEA(203))),
              reinterpret_cast<void*>(Spooler.GetDefaultPrinterW));

    // A module that lacks the functions leaves the table alone and names the first one missing.
    SpoolerFunctions table = {};
    EXPECT_FALSE(ResolveSpoolerFunctions(GetModuleHandleW(L"kernel32.dll"), &table, &missing));
    EXPECT_EQ(L"EnumPrintersW", missing);
    EXPECT_EQ(nullptr, reinterpret_cast<void*>(table.EnumPrintersW));
    EXPECT_EQ(L"无法加载系统打印组件（EnumPrintersW）。\r\n请确认打印后台处理程序（Print Spooler）服务可用。",
              SpoolerMissingText(missing));
}

TEST(SystemLibraries, TheDefaultPrinterQueryIsTakenByNameAndByNumberOnlyWithoutTheName)
{
    const struct {
        const wchar_t* file;
        bool byName;
    } spoolers[] = {{L"spooler_by_ordinal.dll", false}, {L"spooler_two_ways.dll", true}};
    for (const auto& s : spoolers) {
        SCOPED_TRACE(Narrow(s.file));
        const std::wstring path = WindowsPath(ZELTRA_PLANTED_DIR) + L"\\" + s.file;
        HMODULE module = LoadLibraryExW(path.c_str(), nullptr, 0);
        ASSERT_NE(nullptr, module);
        void* byName = reinterpret_cast<void*>(GetProcAddress(module, "GetDefaultPrinterW"));
        void* byNumber = reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(203)));
        EXPECT_NE(byName, byNumber);
        SpoolerFunctions table = {};
        std::wstring missing;
        EXPECT_TRUE(ResolveSpoolerFunctions(module, &table, &missing)) << Narrow(missing);
        EXPECT_EQ(s.byName ? byName : byNumber, reinterpret_cast<void*>(table.GetDefaultPrinterW));
        FreeLibrary(module);
        DeleteFileW((path + L".loaded").c_str());
    }
}

// Last in this program: it limits the test process's DLL search as the tools do at start.
TEST(SystemLibraries, DllsInThePrinterDriverFoldersAreFoundOnceTheSpoolerIsLoaded)
{
    // The stand-in's driver folder, named as a Windows spooler names it, and its version-3 folder.
    const std::wstring drivers = L"C:\\windows\\system32\\spool\\DRIVERS\\x64";
    const struct {
        std::wstring folder;
        std::wstring name;
    } parts[] = {{drivers, L"zeltra_driver_part.dll"}, {drivers + L"\\3", L"zeltra_driver_part3.dll"}};
    const std::wstring anyDll = WindowsPath(ZELTRA_PLANTED_DIR) + L"\\spooler_by_ordinal.dll";
    for (const auto& p : parts) {
        CreateDirectoryW(p.folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(anyDll.c_str(), (p.folder + L"\\" + p.name).c_str(), FALSE)) << Narrow(p.folder);
    }

    StandInResetCounters();
    Spooler = SpoolerFunctions{};
    std::wstring missing;
    ASSERT_TRUE(LoadSpoolerFunctions(&missing)) << Narrow(missing);
    EXPECT_NE(std::string::npos,
              SpoolerLog().find("GetPrinterDriverDirectoryW level=1 size=0 -> FALSE error=122 needed=76\n"
                                "GetPrinterDriverDirectoryW level=1 size=78 -> TRUE "
                                "\"C:\\\\windows\\\\system32\\\\spool\\\\DRIVERS\\\\x64\" needed=76\n"))
        << SpoolerLog();

    for (const auto& p : parts) {
        SCOPED_TRACE(Narrow(p.name));
        // Only there: not in the system folder.
        EXPECT_EQ(nullptr, LoadLibraryExW(p.name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        HMODULE found = LoadLibraryExW(p.name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        EXPECT_NE(nullptr, found);
        if (found)
            FreeLibrary(found);
    }
    // The process's default search, which a driver's own imports get, takes the folders too.
    RestrictDllSearch();
    for (const auto& p : parts) {
        SCOPED_TRACE(Narrow(p.name));
        const std::wstring path = p.folder + L"\\" + p.name;
        HMODULE found = LoadLibraryW(p.name.c_str());
        wchar_t loaded[MAX_PATH] = {};
        GetModuleFileNameW(found, loaded, MAX_PATH);
        EXPECT_EQ(0, lstrcmpiW(path.c_str(), loaded)) << Narrow(loaded);
        if (found)
            FreeLibrary(found);
        DeleteFileW(path.c_str());
        DeleteFileW((path + L".loaded").c_str());
    }
}
