// Start-up, the printer drop-down and refreshing, as a user sees them.
#include "scenario.h"

namespace e2e {

namespace {

const std::vector<std::string> OfficePrinters = {"Zeltra DP-750 针式打印机", "Office Laser",
                                                 "\\\\print-server\\Warehouse Label"};

// Row 1 of the start-up list (custom-only on) is the receipt form.
const int ReceiptRowAtStart = 1;

class StartupScenario : public Scenario {};

} // namespace

TEST_F(StartupScenario, WithoutPrintersTheNoticeComesBeforeTheWindowAndTheStatusSaysSo)
{
    state.Write("admin yes\nstandard-forms yes\n");
    const Box box = OnlyBox(tool.Start(state, {IDOK}));
    ExpectNotice(box, "请先选择打印机。");
    EXPECT_FALSE(box.mainWindowShown) << "the notice must come while the window is still being created";

    EXPECT_EQ(std::vector<std::string>{}, tool.Printers());
    EXPECT_EQ(CB_ERR, tool.PrinterSelection());
    EXPECT_EQ("没有检测到已安装的打印机。", tool.Text(IDC_STATUS_TEXT));
    EXPECT_EQ(std::vector<std::string>{}, tool.Rows());
    EXPECT_FALSE(tool.Enabled(IDC_MODIFY_BUTTON));
    EXPECT_FALSE(tool.Enabled(IDC_DELETE_BUTTON));

    // Adding needs a printer too; refreshing asks again.
    ExpectNotice(OnlyBox(tool.Press(IDC_ADD_BUTTON, {IDOK})), "请先选择打印机。");
    ExpectNotice(OnlyBox(tool.Press(IDC_REFRESH_BUTTON, {IDOK})), "请先选择打印机。");
    EXPECT_EQ("没有检测到已安装的打印机。", tool.Text(IDC_STATUS_TEXT));
    tool.Close();
    EXPECT_EQ(std::vector<std::string>{}, state.FormLines());
}

TEST_F(StartupScenario, WhenThePrinterListCannotBeReadTheStatusSaysWhyAndAPrinterIsAskedFor)
{
    state.Write(OfficeState("fault EnumPrintersW.fill 1722\n"));
    const Box box = OnlyBox(tool.Start(state, {IDOK}));
    ExpectNotice(box, "请先选择打印机。");
    EXPECT_FALSE(box.mainWindowShown);
    EXPECT_EQ(std::vector<std::string>{}, tool.Printers());
    EXPECT_EQ("读取打印机失败：" + SystemText(1722), tool.Text(IDC_STATUS_TEXT));
    EXPECT_EQ(std::vector<std::string>{}, tool.Rows());
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(StartupScenario, WithoutADefaultPrinterTheFirstIsChosen)
{
    state.Write(OfficeState("fault GetDefaultPrinterW 2 once\n"));
    EXPECT_EQ(0u, tool.Start(state).size());
    EXPECT_EQ(0, tool.PrinterSelection());
    EXPECT_EQ("Zeltra DP-750 针式打印机", tool.Text(IDC_PRINTER_COMBO));
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(StartupScenario, ADefaultPrinterThatCannotBeOpenedGivesTheReadErrorBeforeTheWindow)
{
    // PRINTER_ACCESS_USE (8), the access a read asks for, is refused with "access denied".
    state.Write(OfficeState("fault OpenPrinterW 8 5\n"));
    const Box box = OnlyBox(tool.Start(state, {IDOK}));
    EXPECT_EQ("无法打开打印机：\r\n" + SystemText(ERROR_ACCESS_DENIED), box.text);
    EXPECT_EQ("读取失败", box.caption);
    EXPECT_EQ(BoxIcon::Error, box.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    EXPECT_TRUE(box.ownedByMainWindow);
    EXPECT_FALSE(box.mainWindowShown) << "the error must come while the window is still being created";

    EXPECT_EQ(OfficePrinters, tool.Printers());
    EXPECT_EQ(1, tool.PrinterSelection()) << "the default printer stays chosen";
    EXPECT_EQ(std::vector<std::string>{}, tool.Rows());
    EXPECT_EQ("", tool.Text(IDC_STATUS_TEXT));
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(StartupScenario, TheDefaultPrinterIsChosenAndItsUserFormsAreListed)
{
    state.Write(OfficeState());
    EXPECT_EQ(0u, tool.Start(state).size());
    EXPECT_EQ(OfficePrinters, tool.Printers());
    EXPECT_EQ(1, tool.PrinterSelection());
    EXPECT_EQ("Office Laser", tool.Text(IDC_PRINTER_COMBO));
    EXPECT_TRUE(tool.Checked(IDC_CUSTOM_ONLY_CHECK)) << "the custom-only filter starts on";
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    EXPECT_EQ("显示 3 项，共读取 5 个纸张规格。", tool.Text(IDC_STATUS_TEXT));
    EXPECT_EQ(-1, tool.SelectedRow());
    EXPECT_EQ("", tool.Text(IDC_SEARCH_EDIT));
    EXPECT_EQ("Zeltra 241x140mm", tool.Text(IDC_NAME_EDIT));
    EXPECT_EQ("241", tool.Text(IDC_WIDTH_EDIT));
    EXPECT_EQ("140", tool.Text(IDC_HEIGHT_EDIT));
    EXPECT_TRUE(tool.Enabled(IDC_ADD_BUTTON));
    EXPECT_FALSE(tool.Enabled(IDC_MODIFY_BUTTON));
    EXPECT_FALSE(tool.Enabled(IDC_DELETE_BUTTON));
    wchar_t wideTitle[128] = {};
    GetWindowTextW(tool.MainWindow(), wideTitle, 128);
    EXPECT_EQ(AppTitle, Narrow(wideTitle)) << "main window title";
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(StartupScenario, ChoosingAnotherPrinterReadsTheFormTableAgain)
{
    state.Write(OfficeState());
    tool.Start(state);
    tool.SelectRow(1);
    ASSERT_EQ(1, tool.SelectedRow());
    // Another client adds a form while the tool is open; only a reload can show it.
    const std::string other = FormLine("user", 150000, 100000, L"Other client 150x100");
    state.Write(OfficeState(other + "\n"));
    EXPECT_EQ(0u, tool.ChoosePrinter(0).size());
    EXPECT_EQ("Zeltra DP-750 针式打印机", tool.Text(IDC_PRINTER_COMBO));
    std::vector<std::string> rows = OfficeUserRows();
    rows.push_back("Other client 150x100 | 150.0 × 100.0 mm");
    EXPECT_EQ(rows, tool.Rows());
    EXPECT_EQ("显示 4 项，共读取 6 个纸张规格。", tool.Text(IDC_STATUS_TEXT));
    EXPECT_EQ(-1, tool.SelectedRow()) << "a reload leaves nothing selected";
    EXPECT_FALSE(tool.Enabled(IDC_MODIFY_BUTTON));

    EXPECT_EQ(0u, tool.ChoosePrinter(2).size());
    EXPECT_EQ("\\\\print-server\\Warehouse Label", tool.Text(IDC_PRINTER_COMBO));
    EXPECT_EQ(rows, tool.Rows());
    tool.Close();
    std::vector<std::string> forms = OfficeForms();
    forms.push_back(other);
    EXPECT_EQ(forms, state.FormLines());
}

TEST_F(StartupScenario, RefreshReadsPrintersAndFormsAgainAndChoosesTheNewDefault)
{
    state.Write(OfficeState());
    tool.Start(state);
    tool.ChoosePrinter(0);
    EXPECT_EQ(0u, tool.Press(IDC_REFRESH_BUTTON).size());
    EXPECT_EQ(1, tool.PrinterSelection()) << "refresh chooses the default printer again";
    EXPECT_EQ(OfficePrinters, tool.Printers());
    // Meanwhile a printer is installed and made the default, and a user form is deleted elsewhere.
    std::vector<std::string> forms = OfficeForms();
    forms.erase(forms.begin() + 1);
    std::string changed = "admin yes\nstandard-forms no\nprinter \"Zeltra DP-750 针式打印机\"\n"
                          "printer \"Office Laser\"\nprinter \"新打印机 Zeltra DP-900\"\n"
                          "default \"新打印机 zeltra dp-900\"\n";
    for (const std::string& line : forms)
        changed += line + "\n";
    state.Write(changed);
    EXPECT_EQ(0u, tool.Press(IDC_REFRESH_BUTTON).size());
    EXPECT_EQ((std::vector<std::string>{"Zeltra DP-750 针式打印机", "Office Laser", "新打印机 Zeltra DP-900"}),
              tool.Printers());
    EXPECT_EQ(2, tool.PrinterSelection()) << "the default is matched folding A to Z only";
    EXPECT_EQ((std::vector<std::string>{"收据 241x101.6mm | 241.0 × 101.6 mm", "Zeltra 241x279.4mm | 241.0 × 279.4 mm"}),
              tool.Rows());
    EXPECT_EQ("显示 2 项，共读取 4 个纸张规格。", tool.Text(IDC_STATUS_TEXT));
    tool.Close();
    EXPECT_EQ(forms, state.FormLines());
}

TEST_F(StartupScenario, RefreshWhenTheTableCannotBeReadShowsTheSystemTextInTheStatus)
{
    state.Write(OfficeState());
    tool.Start(state);
    state.Write(OfficeState("fault EnumFormsW.fill 1722 once\n"));
    EXPECT_EQ(0u, tool.Press(IDC_REFRESH_BUTTON).size());
    EXPECT_EQ("读取纸张失败：" + SystemText(1722), tool.Text(IDC_STATUS_TEXT));
    // The next refresh reads the table again.
    EXPECT_EQ(0u, tool.Press(IDC_REFRESH_BUTTON).size());
    EXPECT_EQ("显示 3 项，共读取 5 个纸张规格。", tool.Text(IDC_STATUS_TEXT));
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(StartupScenario, ChoosingAPrinterThatCannotBeOpenedKeepsTheOldRowsWhichThenStandForNothing)
{
    state.Write(OfficeState());
    tool.Start(state);
    state.Write(OfficeState("fault OpenPrinterW 8 1801\n"));
    const Box box = OnlyBox(tool.ChoosePrinter(2, {IDOK}));
    EXPECT_EQ("无法打开打印机：\r\n" + SystemText(1801), box.text);
    EXPECT_EQ("读取失败", box.caption);
    EXPECT_EQ(BoxIcon::Error, box.icon);
    EXPECT_TRUE(box.ownedByMainWindow);
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    EXPECT_EQ("显示 3 项，共读取 5 个纸张规格。", tool.Text(IDC_STATUS_TEXT));
    // The old rows stand for no form now: the editor keeps its texts and changes stay disabled.
    tool.SelectRow(ReceiptRowAtStart);
    EXPECT_EQ("Zeltra 241x140mm", tool.Text(IDC_NAME_EDIT));
    EXPECT_EQ("140", tool.Text(IDC_HEIGHT_EDIT));
    EXPECT_FALSE(tool.Enabled(IDC_MODIFY_BUTTON));
    EXPECT_FALSE(tool.Enabled(IDC_DELETE_BUTTON));
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(StartupScenario, TheMainWindowHasAFixedSizeAndNoMaximiseBox)
{
    state.Write(OfficeState());
    tool.Start(state);
    RECT rect;
    GetWindowRect(tool.MainWindow(), &rect);
    EXPECT_EQ(916, rect.right - rect.left) << "outer width";
    EXPECT_EQ(620, rect.bottom - rect.top) << "outer height";
    const LONG style = GetWindowLongW(tool.MainWindow(), GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN),
              style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | WS_MAXIMIZEBOX | WS_THICKFRAME))
        << "style bits 0x" << std::hex << style;
    tool.Close();
}

TEST_F(StartupScenario, StartedMinimisedTheWindowIsIconicAndRestoringShowsTheFace)
{
    state.Write(OfficeState());
    tool.Start(state, {}, SW_SHOWMINNOACTIVE);
    EXPECT_TRUE(IsIconic(tool.MainWindow())) << "the window must start minimised";
    // What the taskbar sends when the user restores the window.
    PostMessageW(tool.MainWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
    tool.WaitUntil([&] { return !IsIconic(tool.MainWindow()); }, "waiting for the window to be restored");
    COLORREF page = CLR_INVALID;
    tool.WaitUntil(
        [&] {
            page = Capture(tool.MainWindow()).ClientPixel(10, 300);
            return page == RGB(243, 243, 243);
        },
        "waiting for the restored window to show its page colour");
    EXPECT_EQ(ColorText(RGB(243, 243, 243)), ColorText(page)) << "page colour at client (10, 300)";
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    tool.Close();
}

} // namespace e2e

namespace e2e {

namespace {

// Sets an environment variable for the tools this scenario starts, and puts it back after.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name)
    {
        wchar_t old[1024];
        const DWORD length = GetEnvironmentVariableW(name, old, 1024);
        had_ = length > 0 && length < 1024;
        if (had_)
            old_ = old;
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

private:
    const wchar_t* name_;
    bool had_ = false;
    std::wstring old_;
};

} // namespace

// Run from a Downloads folder where a page dropped look-alikes of the two DLLs the tool
// needs beyond the known ones, with Wine told to prefer such native files.
TEST_F(StartupScenario, DllsDroppedBesideTheExeAreNeverLoaded)
{
    const std::wstring folder = WindowsPath(ZELTRA_E2E_OUTPUT_DIR) + L"\\downloads";
    const std::wstring planted = WindowsPath(ZELTRA_PLANTED_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring exe = folder + L"\\ZeltraPaper.exe";
    ASSERT_TRUE(CopyFileW(WindowsPath(ZELTRA_EXE_PATH).c_str(), exe.c_str(), FALSE));
    for (const wchar_t* dll : {L"winspool.drv", L"dwmapi.dll"}) {
        ASSERT_TRUE(CopyFileW((planted + L"\\" + dll).c_str(), (folder + L"\\" + dll).c_str(), FALSE)) << Narrow(dll);
        DeleteFileW((folder + L"\\" + dll + L".loaded").c_str());
    }
    ScopedEnvironment overrides(L"WINEDLLOVERRIDES", L"winspool.drv=n,b;dwmapi=n,b;mscoree=;mshtml=");

    state.Write(OfficeState());
    tool.UseExe(exe);
    EXPECT_EQ(0u, tool.Start(state).size());
    EXPECT_EQ(OfficeUserRows(), tool.Rows()) << "the forms come from the system's spooler";
    tool.Press(IDC_REFRESH_BUTTON);
    tool.SelectRow(ReceiptRowAtStart);
    tool.Press(IDC_PRESET_127);
    tool.Close();
    for (const wchar_t* dll : {L"winspool.drv", L"dwmapi.dll"})
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\" + dll + L".loaded").c_str()))
            << "the " << Narrow(dll) << " beside the exe was loaded";
}

} // namespace e2e
