// Adding, resizing and deleting user forms against the stand-in spooler's persisted table.
#include "app/app.h"
#include "forms/forms.h"
#include "harness/harness.h"
#include "standin.h"

namespace {

const wchar_t Title[] = L"Zeltra \u00B7 纸张管理";
const wchar_t AddedText[] = L"纸张已添加。\r\n\r\n请关闭浏览器打印窗口后重新打开，检查\u201C纸张尺寸\u201D列表。";

std::string FormLine(const char* kind, int width, int height, const std::wstring& name)
{
    return std::string("form ") + kind + " " + std::to_string(width) + " " + std::to_string(height) + " 0 0 " +
           std::to_string(width) + " " + std::to_string(height) + " " + Quote(name);
}

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

std::vector<std::string> Lines(const std::string& text)
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

std::vector<std::string> FormsOf(const std::string& extraLines)
{
    std::vector<std::string> lines = Lines(Forms + extraLines);
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
    std::vector<std::string> expected = Lines(Forms);
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
    std::vector<std::string> expected = Lines(Forms);
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
    EXPECT_EQ(Lines(Forms), PersistedFormLines());
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
    std::vector<std::string> expected = Lines(Forms);
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
