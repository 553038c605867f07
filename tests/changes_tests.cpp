// Adding, resizing and deleting user forms against the stand-in spooler's persisted table.
#include <windows.h>

#include <commctrl.h>

#include "app/app.h"
#include "forms/forms.h"
#include "harness/harness.h"
#include "standin.h"

namespace {

const wchar_t Title[] = L"Zeltra \u00B7 纸张管理";
const wchar_t AddedText[] = L"纸张已添加。\r\n\r\n请关闭浏览器打印窗口后重新打开，检查\u201C纸张尺寸\u201D列表。";

const std::string Forms = FormLine("builtin", 210000, 297000, L"A4") + "\n" +
                          FormLine("user", 241000, 140000, L"Halves") + "\n" +
                          FormLine("printer", 100000, 150000, L"Driver label") + "\n" +
                          FormLine("user", 241000, 101600, L"Receipt") + "\n";

std::string State(const std::string& extra = "", const char* admin = "yes")
{
    return std::string("admin ") + admin + "\nstandard-forms no\nprinter \"Change Printer\"\n"
           "default \"Change Printer\"\n" + Forms + extra;
}

class ChangesTest : public MainWindowTest {
protected:
    void Open(const std::string& state)
    {
        UseSpoolerState(state);
        ASSERT_NE(nullptr, OpenMainWindow());
        SetCheck(CustomOnlyCheck, false);
        StandInResetCounters();
    }

    void Fill(const std::wstring& name, const std::wstring& width, const std::wstring& height)
    {
        TypeInto(NameEdit, name);
        TypeInto(WidthEdit, width);
        TypeInto(HeightEdit, height);
    }

    // Presses a button that must raise exactly these boxes, answered in turn; returns the last.
    RecordedBox PressForBoxes(HWND button, std::vector<int> answers)
    {
        for (int answer : answers)
            ExpectBox(answer);
        ClickButton(button);
        std::vector<RecordedBox> boxes = TakeBoxes();
        EXPECT_EQ(answers.size(), boxes.size());
        return boxes.size() == answers.size() ? boxes.back() : RecordedBox();
    }
    RecordedBox PressForOneBox(HWND button, int answer = IDOK) { return PressForBoxes(button, {answer}); }
    // Delete: yes to the question, then the box that follows.
    RecordedBox PressDeleteAndConfirm() { return PressForBoxes(DeleteButton, {IDYES, IDOK}); }

    void TearDown() override
    {
        EXPECT_LE(StandInMaxOpenHandles(), 1) << "two printer handles were open at once";
        MainWindowTest::TearDown();
    }
};

void ExpectNotice(const RecordedBox& box, const std::wstring& text)
{
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(Title, box.caption);
    EXPECT_EQ(BoxIcon::Information, box.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    EXPECT_EQ(MainWindow, box.owner);
}

void ExpectFailure(const RecordedBox& box, const std::wstring& action, DWORD code)
{
    EXPECT_EQ(action + L"失败：\r\n" + SystemText(code), box.text);
    EXPECT_EQ(action + L"失败", box.caption);
    EXPECT_EQ(BoxIcon::Error, box.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
}

std::vector<std::string> FormsOf(const std::string& extraLines)
{
    std::vector<std::string> lines = SplitLines(Forms + extraLines);
    return lines;
}

} // namespace

TEST_F(ChangesTest, AddingAPresetCreatesExactlyThatUserForm)
{
    Open(State());
    SelectRow(1);
    ClickButton(PresetThirdButton);
    ExpectNotice(PressForOneBox(AddButton), AddedText);
    EXPECT_EQ(FormsOf(FormLine("user", 241000, 93000, L"三等分多联纸")), PersistedFormLines());
    EXPECT_EQ(1u, StandInCallCount("AddFormW"));

    // The list shows the spooler's table anew, with nothing selected; the editor keeps its texts.
    EXPECT_EQ(5u, ListRows().size());
    EXPECT_EQ(L"三等分多联纸", ListRows()[4].name);
    EXPECT_EQ(L"241.0 \u00D7 93.0 mm", ListRows()[4].size);
    EXPECT_EQ(-1, SelectedFormIndex());
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));
    EXPECT_EQ(L"三等分多联纸", TextOf(NameEdit));
    EXPECT_EQ(L"241", TextOf(WidthEdit));
    EXPECT_EQ(L"93", TextOf(HeightEdit));
    EXPECT_EQ(L"显示 5 项，共读取 5 个纸张规格。", TextOf(StatusText));
}

TEST_F(ChangesTest, DuplicateNamesAreRefusedWithoutContactingTheSpooler)
{
    Open(State());
    const std::string before = SpoolerState();
    // Twins of every kind, also hidden by the filter or the search.
    SetCheck(CustomOnlyCheck, true);
    TypeInto(SearchEdit, L"zzz");
    for (const wchar_t* twin : {L"a4", L"A4", L"HALVES", L"driver LABEL", L"receipt"}) {
        Fill(twin, L"241", L"93");
        ExpectNotice(PressForOneBox(AddButton), L"已经存在同名纸张。请选中它后使用\u201C修改\u201D。");
    }
    EXPECT_EQ(0u, StandInCallCount("OpenPrinterW"));
    EXPECT_EQ(0u, StandInCallCount("AddFormW"));
    EXPECT_EQ(before, SpoolerState());
}

TEST_F(ChangesTest, ANameDifferingOnlyBeyondAToZGoesToTheSpoolerWhichDecides)
{
    const std::string stored = "form user 241000 93000 0 0 241000 93000 \"\xEF\xBD\x81" "4\"\n"; // ａ4
    // This spooler refuses it as an existing name: the refusal comes back with the system's text.
    Open(State(stored + "fault AddFormW 80 once\n"));
    std::string before = SpoolerState();
    Fill(L"\uFF214", L"241", L"93"); // full-width Ａ against the stored ａ
    ExpectFailure(PressForOneBox(AddButton), L"添加", ERROR_FILE_EXISTS);
    EXPECT_EQ(1u, StandInCallCount("AddFormW"));
    before.erase(before.find("fault AddFormW"));
    EXPECT_EQ(before, SpoolerState()) << "only the spent fault may be gone";
    CloseMainWindow();

    // This one takes it: the tool itself saw no duplicate.
    Open(State(stored));
    Fill(L"\uFF214", L"241", L"93");
    ExpectNotice(PressForOneBox(AddButton), AddedText);
    EXPECT_EQ(FormsOf(stored + FormLine("user", 241000, 93000, L"\uFF214")), PersistedFormLines());
}

TEST_F(ChangesTest, EachFailedChangeShowsTheCodeOfTheFailedCallAndLeavesTheTableAlone)
{
    const struct {
        const char* fault;
        HWND* button;
        const wchar_t* action;
        DWORD code;
    } cases[] = {{"AddFormW", &AddButton, L"添加", 1903},
                 {"SetFormW", &ModifyButton, L"修改", 1902},
                 {"DeleteFormW", &DeleteButton, L"删除", 87}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Open(State(std::string("fault ") + c.fault + " " + std::to_string(c.code) + "\n"));
        const std::string before = SpoolerState();
        SelectRow(3);
        Fill(c.button == &AddButton ? L"Brand new" : L"Receipt", L"241", L"120");
        const RecordedBox box = c.button == &DeleteButton ? PressDeleteAndConfirm() : PressForOneBox(*c.button);
        ExpectFailure(box, c.action, c.code);
        EXPECT_EQ(before, SpoolerState());
        // Nothing is reloaded after a failure: the selection stays.
        EXPECT_EQ(1u, StandInCallCount("OpenPrinterW"));
        EXPECT_EQ(3, SelectedFormIndex());
        EXPECT_EQ(0, StandInOpenHandles());
        CloseMainWindow();
    }
}

TEST_F(ChangesTest, AHandleWithoutAdministerRightsGetsOnlyTheFailureBox)
{
    Open(State("", "no"));
    const std::string before = SpoolerState();
    Fill(L"New form", L"241", L"93");
    ExpectFailure(PressForOneBox(AddButton), L"添加", ERROR_ACCESS_DENIED);
    EXPECT_EQ(2u, StandInCallCount("OpenPrinterW"));
    EXPECT_EQ(before, SpoolerState());

    SelectRow(3);
    ExpectFailure(PressForOneBox(ModifyButton), L"修改", ERROR_ACCESS_DENIED);
    ExpectFailure(PressDeleteAndConfirm(), L"删除", ERROR_ACCESS_DENIED);
    EXPECT_EQ(before, SpoolerState());
}

TEST_F(ChangesTest, ModifyResizesTheSelectedFormInPlace)
{
    Open(State());
    SelectRow(3);
    TypeInto(HeightEdit, L"127");
    ExpectNotice(PressForOneBox(ModifyButton), L"纸张尺寸已修改。");
    std::vector<std::string> expected = SplitLines(Forms);
    expected[3] = FormLine("user", 241000, 127000, L"Receipt");
    EXPECT_EQ(expected, PersistedFormLines());
    EXPECT_EQ(1u, StandInCallCount("SetFormW"));
    EXPECT_EQ(-1, SelectedFormIndex());
    EXPECT_FALSE(IsEnabled(ModifyButton));
}

TEST_F(ChangesTest, ModifyAllowsACaseOnlyRenameKeyedByTheStoredName)
{
    Open(State());
    SelectRow(3);
    TypeInto(NameEdit, L"RECEIPT");
    StandInResetCounters();
    ExpectNotice(PressForOneBox(ModifyButton), L"纸张尺寸已修改。");
    const std::string log = SpoolerLog();
    EXPECT_NE(std::string::npos, log.find("SetFormW handle=#")) << log;
    EXPECT_NE(std::string::npos, log.find(" name=\"Receipt\" level=1 form=\"RECEIPT\"")) << "keyed by the stored name:\n" << log;
    std::vector<std::string> expected = SplitLines(Forms);
    expected[3] = FormLine("user", 241000, 101600, L"RECEIPT");
    EXPECT_EQ(expected, PersistedFormLines());
}

TEST_F(ChangesTest, ModifyRefusesAnyOtherRenameAndUnchangedSizesStillSucceed)
{
    Open(State());
    const std::string before = SpoolerState();
    SelectRow(3);
    for (const wchar_t* name : {L"Receipts", L"Re\u00E7eipt", L"Nobody has this", L"Receipt "}) {
        TypeInto(NameEdit, name);
        ExpectNotice(PressForOneBox(ModifyButton), L"测试版修改尺寸时不允许重命名。需要改名时请删除后重新添加。");
    }
    EXPECT_EQ(0u, StandInCallCount("OpenPrinterW"));
    EXPECT_EQ(before, SpoolerState());

    TypeInto(NameEdit, L"Receipt");
    ExpectNotice(PressForOneBox(ModifyButton), L"纸张尺寸已修改。");
    EXPECT_EQ(1u, StandInCallCount("SetFormW"));
    EXPECT_EQ(SplitLines(Forms), PersistedFormLines());
}

TEST_F(ChangesTest, ProtectedFormsAndNoSelectionAreRefusedBeforeTheEditorIsRead)
{
    Open(State());
    const std::string before = SpoolerState();
    Fill(L"", L"junk", L"junk"); // invalid values must not matter for these refusals
    const std::wstring none = L"请先选中一个用户自定义纸张。";
    ExpectNotice(PressForOneBox(ModifyButton), none);
    ExpectNotice(PressForOneBox(DeleteButton), none);
    for (int row : {0, 2}) {
        SelectRow(row);
        // The buttons are disabled for these rows; the command can still arrive, e.g. from a script.
        ExpectBox();
        SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDC_MODIFY_BUTTON, BN_CLICKED), reinterpret_cast<LPARAM>(ModifyButton));
        ExpectBox();
        SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(IDC_DELETE_BUTTON, BN_CLICKED), reinterpret_cast<LPARAM>(DeleteButton));
        const std::vector<RecordedBox> boxes = TakeBoxes();
        ASSERT_EQ(2u, boxes.size());
        ExpectNotice(boxes[0], L"系统内置或打印机纸型受保护，不能修改。");
        ExpectNotice(boxes[1], L"系统内置或打印机纸型受保护，不能删除。");
    }
    EXPECT_EQ(0u, StandInCallCount("OpenPrinterW"));
    EXPECT_EQ(before, SpoolerState());
}

TEST_F(ChangesTest, DeleteAsksWithTheStoredNameAndNoChangesNothing)
{
    Open(State());
    const std::string before = SpoolerState();
    SelectRow(1);
    TypeInto(NameEdit, L"not what is deleted");
    const RecordedBox question = PressForOneBox(DeleteButton, IDNO);
    EXPECT_EQ(L"确定删除自定义纸张？\r\n\r\nHalves", question.text);
    EXPECT_EQ(L"确认删除", question.caption);
    EXPECT_EQ(BoxIcon::Warning, question.icon);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), question.buttons);
    EXPECT_EQ(MainWindow, question.owner);
    EXPECT_EQ(0u, StandInCallCount("OpenPrinterW"));
    EXPECT_EQ(before, SpoolerState());
    EXPECT_EQ(1, SelectedFormIndex());

    ExpectNotice(PressDeleteAndConfirm(), L"纸张已删除。");
    std::vector<std::string> expected = SplitLines(Forms);
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(expected, PersistedFormLines());
    EXPECT_EQ(3u, ListRows().size());
    EXPECT_FALSE(IsEnabled(DeleteButton));
}

TEST_F(ChangesTest, ASuccessWhoseReloadFailsShowsTheReloadErrorThenTheSuccess)
{
    Open(State());
    UseSpoolerState(State("fault EnumFormsW.fill 1722\n"));
    StandInResetCounters();
    Fill(L"Added anyway", L"241", L"93");
    ExpectNotice(PressForOneBox(AddButton), AddedText);
    EXPECT_EQ(L"读取纸张失败：" + SystemText(1722), TextOf(StatusText));
    EXPECT_EQ(FormsOf(FormLine("user", 241000, 93000, L"Added anyway")), PersistedFormLines());
    EXPECT_TRUE(FormCatalogue.empty());
    // The old rows stand for nothing now.
    SelectRow(3);
    EXPECT_EQ(-1, SelectedFormIndex());
    EXPECT_FALSE(IsEnabled(ModifyButton));
}

TEST_F(ChangesTest, AddingWithAnEmptyCatalogueLeavesTheDuplicateTestToTheSpooler)
{
    Open(State());
    UseSpoolerState(State("fault EnumFormsW.fill 5\n"));
    ClickButton(RefreshButton);
    ASSERT_TRUE(FormCatalogue.empty());
    UseSpoolerState(State());
    StandInResetCounters();
    const std::string before = SpoolerState();
    Fill(L"halves", L"241", L"140");
    ExpectFailure(PressForOneBox(AddButton), L"添加", ERROR_FILE_EXISTS);
    EXPECT_EQ(before, SpoolerState());
}

// --- The form list's menu: the printer's default paper and the driver's list ---

namespace {

// A dot-matrix printer that takes 241 mm continuous paper and a laser that stops at 216 mm.
std::string DriverState(const std::string& extra = "", const char* admin = "yes")
{
    return std::string("admin ") + admin + "\nstandard-forms no\n"
           "printer \"Dot\" extent 254 254 2410 5588\nprinter \"Laser\" extent 762 1270 2160 3556\n"
           "default \"Dot\"\n" + Forms + FormLine("user", 20000, 20000, L"Stamp") + "\n" + extra;
}

struct ShownMenu {
    std::vector<std::wstring> items;
    std::vector<bool> grayed;
    HMENU menu = nullptr;
    POINT at = {};
};
ShownMenu LastMenu;
UINT MenuAnswer;

// Stands in for TrackPopupMenu: records the menu as it would show and picks MenuAnswer.
BOOL WINAPI RecordMenu(HMENU menu, UINT, int x, int y, int, HWND, const RECT*)
{
    LastMenu = ShownMenu();
    LastMenu.menu = menu;
    LastMenu.at = {x, y};
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        LastMenu.items.push_back(text);
        LastMenu.grayed.push_back((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) != 0);
    }
    return static_cast<BOOL>(MenuAnswer);
}

class DefaultPaperTest : public ChangesTest {
protected:
    void SetUp() override
    {
        ChangesTest::SetUp();
        TrackMenuHook = RecordMenu;
    }
    void TearDown() override
    {
        TrackMenuHook = &TrackPopupMenu;
        SessionAccountHook = &SessionAccount;
        ProcessAccountHook = &ProcessAccount;
        ChangesTest::TearDown();
    }
    // A right-click on a row as the list sees it: it tracks the button until it comes up and
    // then asks for the menu at the pointer's position.
    void RightClickRow(int row)
    {
        RECT rect = {LVIR_BOUNDS, 0, 0, 0};
        ASSERT_TRUE(SendMessageW(FormList, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect)));
        POINT point = {rect.left + 20, (rect.top + rect.bottom) / 2};
        const LPARAM client = MAKELPARAM(point.x, point.y);
        ClientToScreen(FormList, &point);
        SetCursorPos(point.x, point.y);
        PostMessageW(FormList, WM_RBUTTONUP, 0, client);
        SendMessageW(FormList, WM_RBUTTONDOWN, MK_RBUTTON, client);
        PumpPending();
    }
    // Shift+F10 or the menu key: the system sends the list WM_CONTEXTMENU at (-1, -1).
    void PressMenuKey()
    {
        SetFocus(FormList);
        SendMessageW(FormList, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(FormList), MAKELPARAM(-1, -1));
        PumpPending();
    }
    // Right-clicks the row and picks the item, expecting one box; returns it.
    RecordedBox Choose(int row, UINT item)
    {
        MenuAnswer = item;
        ExpectBox();
        RightClickRow(row);
        EXPECT_FALSE(IsMenu(LastMenu.menu)) << "the menu was not destroyed";
        std::vector<RecordedBox> boxes = TakeBoxes();
        EXPECT_EQ(1u, boxes.size());
        return boxes.empty() ? RecordedBox() : boxes.back();
    }
    std::vector<std::string> DefaultLines()
    {
        std::vector<std::string> lines;
        for (const std::string& line : SplitLines(SpoolerState()))
            if (line.rfind("default-paper ", 0) == 0)
                lines.push_back(line);
        return lines;
    }
};

// The accounts the session and the process's token name; without SessionKnown the session's
// query fails.
AccountName SignedIn, Elevating;
bool SessionKnown;

const int A4Row = 0, HalvesRow = 1, StampRow = 4;
const wchar_t BrowserNote[] = L"浏览器若记住了上次打印所用的纸张，会继续使用那一种，直到在它的打印窗口中选择一次新纸张。";

} // namespace

TEST_F(DefaultPaperTest, TheMenuOpensByMouseAndKeyboardAndItsFirstLineShowsTheCurrentDefault)
{
    Open(DriverState());
    MenuAnswer = 0;
    RightClickRow(HalvesRow);
    const std::vector<std::wstring> items = {L"当前默认纸张：A4", L"", L"设为默认纸张（当前用户）",
                                             L"设为默认纸张（所有用户）", L"检查打印机是否提供此纸张"};
    EXPECT_EQ(items, LastMenu.items);
    ASSERT_EQ(5u, LastMenu.grayed.size());
    EXPECT_TRUE(LastMenu.grayed[0]) << "the current default is a line to read, not to choose";
    EXPECT_EQ((std::vector<bool>{false, false, false}), std::vector<bool>(LastMenu.grayed.begin() + 2, LastMenu.grayed.end()));
    EXPECT_FALSE(IsMenu(LastMenu.menu));

    SelectRow(StampRow);
    LastMenu = ShownMenu();
    PressMenuKey();
    EXPECT_EQ(items, LastMenu.items) << "the menu key";
    RECT row = {LVIR_LABEL, 0, 0, 0};
    SendMessageW(FormList, LVM_GETITEMRECT, StampRow, reinterpret_cast<LPARAM>(&row));
    POINT below = {row.left, row.bottom};
    ClientToScreen(FormList, &below);
    EXPECT_EQ(below.x, LastMenu.at.x);
    EXPECT_EQ(below.y, LastMenu.at.y) << "placed at the selected row";
    EXPECT_EQ(0u, StandInCallCount("SetPrinterW"));
}

TEST_F(DefaultPaperTest, AUserDefaultIsStoredAtLevel9AndABrowserThenStartsOnIt)
{
    Open(DriverState());
    const RecordedBox box = Choose(HalvesRow, IDM_DEFAULT_FOR_USER);
    EXPECT_EQ(BoxIcon::Information, box.icon);
    EXPECT_EQ(Title, box.caption);
    EXPECT_EQ(MainWindow, box.owner);
    EXPECT_EQ(0u, box.text.find(L"已将纸张\u201CHalves\u201D设为打印机\u201CDot\u201D的默认纸张（当前用户 ")) << Narrow(box.text);
    EXPECT_NE(std::wstring::npos, box.text.find(BrowserNote)) << Narrow(box.text);
    const std::string log = SpoolerLog();
    EXPECT_NE(std::string::npos, log.find("SetPrinterW handle=#")) << log;
    EXPECT_EQ(std::string::npos, log.find("level=8")) << log;

    MenuAnswer = 0;
    RightClickRow(A4Row);
    EXPECT_EQ(L"当前默认纸张：Halves", LastMenu.items.at(0));
    ASSERT_EQ(1u, DefaultLines().size());
    EXPECT_EQ(0u, DefaultLines()[0].find("default-paper user \"Dot\" ")) << DefaultLines()[0];
}

TEST_F(DefaultPaperTest, TheNoteOnAnotherAccountAppearsOnlyWhenTheTokenIsNotTheSignedInUser)
{
    SessionAccountHook = [](AccountName* account) { *account = SignedIn; return SessionKnown; };
    ProcessAccountHook = [](AccountName* account) { *account = Elevating; return true; };
    wchar_t name[257] = {};
    DWORD length = 257;
    ASSERT_TRUE(GetUserNameW(name, &length));
    const std::wstring account = name;
    const std::wstring note = L"注意：本程序以账户 " + account + L" 运行，与登录桌面的用户不同；\u201C当前用户\u201D的默认纸张只对账户 " +
                              account + L" 生效。";
    const struct {
        AccountName session, token;
        bool known, shown;
    } cases[] = {
        {{L"OFFICE-PC", L"lihua"}, {L"OFFICE-PC", L"Administrator"}, true, true},
        {{L"OFFICE-PC", L"lihua"}, {L"CORP", L"lihua"}, true, true},
        {{L"OFFICE-PC", L"\u00C4nne"}, {L"office-pc", L"\u00E4NNE"}, true, false}, // Windows ignores case
        {{L"OFFICE-PC", L"lihua"}, {L"OFFICE-PC", L"Administrator"}, false, false},  // the session's query failed
    };
    Open(DriverState());
    for (const auto& c : cases) {
        SignedIn = c.session;
        Elevating = c.token;
        SessionKnown = c.known;
        const std::wstring text = Choose(HalvesRow, IDM_DEFAULT_FOR_USER).text;
        EXPECT_EQ(c.shown, text.find(note) != std::wstring::npos) << "case " << (&c - cases) << "\n" << Narrow(text);
    }
}

// Under Wine the session and the token both name the user who runs the tests.
TEST(Accounts, TheSessionAndTheTokenNameTheSameSignedInUser)
{
    AccountName session, token;
    ASSERT_TRUE(SessionAccount(&session)) << "wtsapi32 did not answer";
    ASSERT_TRUE(ProcessAccount(&token));
    EXPECT_FALSE(session.domain.empty() || session.user.empty());
    EXPECT_EQ(Narrow(session.domain + L"\\" + session.user), Narrow(token.domain + L"\\" + token.user));
}

TEST_F(DefaultPaperTest, AllUsersNeedsAnAdministratorAndSetsTheGlobalThenTheUserDefault)
{
    Open(DriverState());
    EXPECT_EQ(BoxIcon::Information, Choose(HalvesRow, IDM_DEFAULT_FOR_ALL).icon);
    const std::string log = SpoolerLog();
    const size_t global = log.find("level=8");
    ASSERT_NE(std::string::npos, global) << log;
    EXPECT_NE(std::string::npos, log.find("level=9", global)) << "the user default after the global one:\n" << log;
    EXPECT_EQ(2u, DefaultLines().size());
    CloseMainWindow();

    Open(DriverState("", "no"));
    const RecordedBox refused = Choose(HalvesRow, IDM_DEFAULT_FOR_ALL);
    EXPECT_EQ(L"设置默认纸张失败：\r\n" + SystemText(ERROR_ACCESS_DENIED), refused.text);
    EXPECT_EQ(L"设置默认纸张失败", refused.caption);
    EXPECT_EQ(BoxIcon::Error, refused.icon);
    EXPECT_EQ(MainWindow, refused.owner);
    EXPECT_TRUE(DefaultLines().empty());
}

TEST_F(DefaultPaperTest, AFormOutsideTheDriversRangeIsRefusedExplainedAndNothingWritten)
{
    Open(DriverState());
    const std::string before = SpoolerState();
    const RecordedBox refused = Choose(StampRow, IDM_DEFAULT_FOR_USER);
    EXPECT_EQ(BoxIcon::Information, refused.icon);
    EXPECT_NE(std::wstring::npos, refused.text.find(L"没有提供纸张\u201CStamp\u201D")) << Narrow(refused.text);
    EXPECT_NE(std::wstring::npos, refused.text.find(L"宽度小于打印机的最小宽度 25.4 mm。")) << Narrow(refused.text);
    EXPECT_NE(std::wstring::npos, refused.text.find(L"未做任何更改。")) << Narrow(refused.text);
    EXPECT_EQ(0u, StandInCallCount("SetPrinterW"));
    EXPECT_EQ(before, SpoolerState());

    const RecordedBox offered = Choose(HalvesRow, IDM_CHECK_PAPER);
    EXPECT_NE(std::wstring::npos, offered.text.find(L"提供纸张\u201CHalves\u201D。\r\n\r\n纸张编号：256\r\n")) << Narrow(offered.text);
    EXPECT_NE(std::wstring::npos, offered.text.find(L"驱动程序中的尺寸：241.0 \u00D7 140.0 mm\r\nChrome 和 Edge 中显示为 140.0 \u00D7 241.0 mm。\r\n\r\n连续纸按英寸打孔：高度 140 mm")) << Narrow(offered.text);
    EXPECT_EQ(std::wstring::npos, offered.text.find(L"精确到 0.1 mm")) << "the driver's size is the form's";

    ChoosePrinter(1); // the laser stops at 216 mm
    const RecordedBox wide = Choose(HalvesRow, IDM_CHECK_PAPER);
    EXPECT_NE(std::wstring::npos, wide.text.find(L"宽度大于打印机的最大宽度 216.0 mm。")) << Narrow(wide.text);
    EXPECT_EQ(before, SpoolerState());
}

TEST_F(DefaultPaperTest, ADriverThatIgnoresTheFormOrRefusesTheSetIsAFailureNeverASuccess)
{
    Open(DriverState("fault DocumentPropertiesW.ignore-form\n"));
    const RecordedBox ignored = Choose(HalvesRow, IDM_DEFAULT_FOR_ALL);
    EXPECT_EQ(L"打印机驱动程序没有接受新的默认纸张。\r\n当前默认纸张仍是：A4", ignored.text);
    EXPECT_EQ(BoxIcon::Error, ignored.icon);
    EXPECT_TRUE(DefaultLines().empty()) << "the driver's old paper was written after all";
    CloseMainWindow();

    // A default that also names another width reads as an unnamed size in a browser.
    Open(DriverState("fault DocumentPropertiesW.paper-width 2100\n"));
    EXPECT_EQ(BoxIcon::Error, Choose(HalvesRow, IDM_DEFAULT_FOR_USER).icon);
    CloseMainWindow();

    Open(DriverState("fault SetPrinterW 1722\n"));
    const RecordedBox refused = Choose(HalvesRow, IDM_DEFAULT_FOR_USER);
    EXPECT_EQ(L"设置默认纸张失败：\r\n" + SystemText(1722), refused.text);
    EXPECT_TRUE(DefaultLines().empty());
}

TEST_F(DefaultPaperTest, AllUsersStartsFromThePrintersOwnSettingsNotTheAdministrators)
{
    Open(DriverState("default-paper global \"Dot\" 9 \"A4\" orientation 2 duplex 2 copies 2\n"
                     "default-paper user \"Dot\" 9 \"A4\" orientation 1 duplex 3 copies 5\n"));
    const RecordedBox box = Choose(HalvesRow, IDM_DEFAULT_FOR_ALL);
    EXPECT_NE(std::wstring::npos, box.text.find(L"）。已有个人打印首选项的用户仍使用各自的设置。")) << Narrow(box.text);
    EXPECT_EQ((std::vector<std::string>{
                  "default-paper global \"Dot\" 256 \"Halves\" orientation 2 duplex 2 copies 2",
                  "default-paper user \"Dot\" 256 \"Halves\" orientation 1 duplex 3 copies 5"}),
              DefaultLines());
}

TEST_F(DefaultPaperTest, DriversThatMisreportTheirDevModeNeitherOverrunItNorGetUsed)
{
    // The size query says 40 bytes fewer than the driver writes: the menu and both levels still fit.
    Open(DriverState("fault DocumentPropertiesW.short 40\n"));
    MenuAnswer = 0;
    RightClickRow(HalvesRow);
    EXPECT_EQ(L"当前默认纸张：A4", LastMenu.items.at(0));
    EXPECT_EQ(BoxIcon::Information, Choose(HalvesRow, IDM_DEFAULT_FOR_ALL).icon);
    EXPECT_EQ(std::string::npos, SpoolerLog().find("too small")) << SpoolerLog();
    CloseMainWindow();

    // More private bytes than any buffer, or a public part without the form name: refused.
    for (const char* fault : {"fault DocumentPropertiesW.extra 30000\n", "fault DocumentPropertiesW.dmsize 100\n"}) {
        Open(DriverState(fault));
        MenuAnswer = 0;
        RightClickRow(HalvesRow);
        EXPECT_EQ(L"当前默认纸张：无法读取", LastMenu.items.at(0)) << fault;
        EXPECT_EQ(L"设置默认纸张失败：\r\n" + SystemText(ERROR_INVALID_DATA), Choose(HalvesRow, IDM_DEFAULT_FOR_USER).text);
        EXPECT_TRUE(DefaultLines().empty());
        CloseMainWindow();
    }

    // A driver that lists no papers is not asked for a DEVMODE at all.
    const std::string state = DriverState();
    Open(std::string(state).replace(state.find("extent 254 254 2410 5588"), 24, "extent 1 1 10 10"));
    MenuAnswer = 0;
    RightClickRow(A4Row);
    EXPECT_EQ(L"当前默认纸张：无法读取", LastMenu.items.at(0));
    EXPECT_EQ(0u, StandInCallCount("DocumentPropertiesW"));
}

TEST_F(DefaultPaperTest, TheMenuKeyBringsASelectedRowScrolledOutOfSightBackBesideTheMenu)
{
    std::string forms;
    for (int i = 0; i < 40; ++i)
        forms += FormLine("user", 241000, 100000 + i * 1000, L"Row " + std::to_wstring(i)) + "\n";
    Open(DriverState(forms));
    const int last = static_cast<int>(SendMessageW(FormList, LVM_GETITEMCOUNT, 0, 0)) - 1;
    SelectRow(last);
    SendMessageW(FormList, LVM_ENSUREVISIBLE, 0, FALSE);
    MenuAnswer = 0;
    PressMenuKey();
    RECT list = {};
    GetWindowRect(FormList, &list);
    EXPECT_TRUE(PtInRect(&list, LastMenu.at)) << "the menu at " << LastMenu.at.x << "," << LastMenu.at.y;
    EXPECT_EQ(last, SendMessageW(FormList, LVM_GETTOPINDEX, 0, 0) + SendMessageW(FormList, LVM_GETCOUNTPERPAGE, 0, 0) - 1);
}
