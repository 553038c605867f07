// Adding, resizing and deleting forms through the window, checked in the table the spooler
// keeps after the tool has exited.
#include "scenario.h"

namespace e2e {

namespace {

class ChangesScenario : public Scenario {
protected:
    void Fill(const std::wstring& name, const std::wstring& width, const std::wstring& height)
    {
        tool.Type(IDC_NAME_EDIT, name);
        tool.Type(IDC_WIDTH_EDIT, width);
        tool.Type(IDC_HEIGHT_EDIT, height);
    }
};

// Row 1 of the start-up list (custom-only on) is the receipt form, table position 3.
const int ReceiptRow = 1;
const char ReceiptName[] = "收据 241x101.6mm";

} // namespace

TEST_F(ChangesScenario, AnAddedPresetIsConfirmedPersistedAndListedAfterARestart)
{
    state.Write(OfficeState());
    tool.Start(state);
    tool.Press(IDC_PRESET_THIRD);
    ExpectNotice(OnlyBox(tool.Press(IDC_ADD_BUTTON, {IDOK})), AddedText);

    std::vector<std::string> rows = OfficeUserRows();
    rows.push_back("三等分多联纸 | 241.0 × 93.0 mm");
    EXPECT_EQ(rows, tool.Rows()) << "the list shows the table read back after the add";
    EXPECT_EQ("显示 4 项，共读取 6 个纸张规格。", tool.Text(IDC_STATUS_TEXT));
    EXPECT_EQ(-1, tool.SelectedRow());
    EXPECT_FALSE(tool.Enabled(IDC_MODIFY_BUTTON));
    EXPECT_FALSE(tool.Enabled(IDC_DELETE_BUTTON));
    EXPECT_EQ("三等分多联纸", tool.Text(IDC_NAME_EDIT)) << "the editor keeps what was added";
    tool.Close();

    std::vector<std::string> forms = OfficeForms();
    forms.push_back(FormLine("user", 241000, 93000, L"三等分多联纸"));
    EXPECT_EQ(forms, state.FormLines());

    Tool again;
    EXPECT_EQ(0u, again.Start(state).size());
    EXPECT_EQ(rows, again.Rows()) << "after a restart";
    EXPECT_EQ("显示 4 项，共读取 6 个纸张规格。", again.Text(IDC_STATUS_TEXT));
    again.Close();
    EXPECT_EQ(forms, state.FormLines());
}

TEST_F(ChangesScenario, ANameTakenAlreadyIsRefusedEvenWhenTheFilterHidesIt)
{
    state.Write(OfficeState());
    const std::string before = state.Read();
    tool.Start(state);
    // A to Z fold onto a to z; the built-in A4 is not in the list while the filter is on.
    for (const wchar_t* twin : {L"zeltra 241X279.4MM", L"a4", L"DP-750 LABEL 100X150"}) {
        SCOPED_TRACE(Narrow(twin));
        Fill(twin, L"241", L"93");
        ExpectNotice(OnlyBox(tool.Press(IDC_ADD_BUTTON, {IDOK})), "已经存在同名纸张。请选中它后使用“修改”。");
    }
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    tool.Close();
    EXPECT_EQ(before, state.Read()) << "a refused add must not reach the spooler";
}

TEST_F(ChangesScenario, TheEditorRefusesAMissingOrLongNameAndSizesOutsideTenToTwoThousand)
{
    state.Write(OfficeState());
    const std::string before = state.Read();
    tool.Start(state);
    const std::string sizeNotice = "宽度和高度请输入 10～2000 mm 之间的数字。";
    const struct {
        const wchar_t* name;
        const wchar_t* width;
        const wchar_t* height;
        std::string notice;
    } cases[] = {
        {L"", L"241", L"93", "请输入纸张名称。"},
        {L"12345678901234567890123456789012", L"241", L"93", "纸张名称不能超过 31 个字符。"},
        {L"New form", L"5", L"93", sizeNotice},
        {L"New form", L"241", L"2000.1", sizeNotice},
        {L"New form", L"241", L"abc", sizeNotice},
        {L"New form", L"", L"93", sizeNotice},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("name \"" + Narrow(c.name) + "\" width \"" + Narrow(c.width) + "\" height \"" +
                     Narrow(c.height) + "\"");
        Fill(c.name, c.width, c.height);
        ExpectNotice(OnlyBox(tool.Press(IDC_ADD_BUTTON, {IDOK})), c.notice);
    }
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    tool.Close();
    EXPECT_EQ(before, state.Read()) << "a refused add must not reach the spooler";
}

TEST_F(ChangesScenario, ModifyingAUserFormsSizeIsConfirmedAndPersistedInPlace)
{
    state.Write(OfficeState());
    tool.Start(state);
    tool.SelectRow(ReceiptRow);
    ASSERT_EQ(ReceiptName, tool.Text(IDC_NAME_EDIT));
    ASSERT_TRUE(tool.Enabled(IDC_MODIFY_BUTTON));
    tool.Type(IDC_HEIGHT_EDIT, L"127");
    ExpectNotice(OnlyBox(tool.Press(IDC_MODIFY_BUTTON, {IDOK})), "纸张尺寸已修改。");

    std::vector<std::string> rows = OfficeUserRows();
    rows[ReceiptRow] = "收据 241x101.6mm | 241.0 × 127.0 mm";
    EXPECT_EQ(rows, tool.Rows());
    EXPECT_EQ(-1, tool.SelectedRow());
    EXPECT_FALSE(tool.Enabled(IDC_MODIFY_BUTTON));
    tool.Close();

    std::vector<std::string> forms = OfficeForms();
    forms[3] = FormLine("user", 241000, 127000, Widen(ReceiptName));
    EXPECT_EQ(forms, state.FormLines());
}

TEST_F(ChangesScenario, ModifyRefusesARenameAndLeavesTheFormAsItWas)
{
    state.Write(OfficeState());
    const std::string before = state.Read();
    tool.Start(state);
    tool.SelectRow(ReceiptRow);
    tool.Type(IDC_NAME_EDIT, L"收据 241x127mm");
    tool.Type(IDC_HEIGHT_EDIT, L"127");
    ExpectNotice(OnlyBox(tool.Press(IDC_MODIFY_BUTTON, {IDOK})), "测试版修改尺寸时不允许重命名。需要改名时请删除后重新添加。");
    EXPECT_EQ(ReceiptRow, tool.SelectedRow()) << "a refusal keeps the selection";
    EXPECT_EQ(OfficeUserRows(), tool.Rows());

    // A preset leaves the selection and the buttons alone, and its name is a rename too.
    tool.Press(IDC_PRESET_127);
    ASSERT_TRUE(tool.Enabled(IDC_MODIFY_BUTTON));
    ExpectNotice(OnlyBox(tool.Press(IDC_MODIFY_BUTTON, {IDOK})), "测试版修改尺寸时不允许重命名。需要改名时请删除后重新添加。");
    tool.Close();
    EXPECT_EQ(before, state.Read()) << "a refused rename must not reach the spooler";
}

TEST_F(ChangesScenario, DeleteAsksFirstNoKeepsTheFormAndYesRemovesIt)
{
    state.Write(OfficeState());
    const std::string before = state.Read();
    tool.Start(state);
    tool.SelectRow(ReceiptRow);
    tool.Type(IDC_NAME_EDIT, L"not the stored name");

    const Box question = OnlyBox(tool.Press(IDC_DELETE_BUTTON, {IDNO}));
    EXPECT_EQ("确定删除自定义纸张？\r\n\r\n" + std::string(ReceiptName), question.text);
    EXPECT_EQ("确认删除", question.caption);
    EXPECT_EQ(BoxIcon::Warning, question.icon);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), question.buttons);
    EXPECT_TRUE(question.ownedByMainWindow);
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    EXPECT_EQ(ReceiptRow, tool.SelectedRow());
    EXPECT_EQ(before, state.Read()) << "No must not reach the spooler";

    const std::vector<Box> boxes = tool.Press(IDC_DELETE_BUTTON, {IDYES, IDOK});
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("确认删除", boxes[0].caption);
    ExpectNotice(boxes[1], "纸张已删除。");
    std::vector<std::string> rows = OfficeUserRows();
    rows.erase(rows.begin() + ReceiptRow);
    EXPECT_EQ(rows, tool.Rows());
    EXPECT_EQ("显示 2 项，共读取 4 个纸张规格。", tool.Text(IDC_STATUS_TEXT));
    EXPECT_FALSE(tool.Enabled(IDC_DELETE_BUTTON));
    tool.Close();

    std::vector<std::string> forms = OfficeForms();
    forms.erase(forms.begin() + 3);
    EXPECT_EQ(forms, state.FormLines());
}

TEST_F(ChangesScenario, WithoutAdministratorRightsEachChangeGetsOnlyTheFailureBox)
{
    state.Write(OfficeState("", false));
    tool.Start(state);
    Fill(L"New form", L"241", L"93");
    ExpectFailure(OnlyBox(tool.Press(IDC_ADD_BUTTON, {IDOK})), "添加", ERROR_ACCESS_DENIED);

    tool.SelectRow(ReceiptRow);
    tool.Type(IDC_HEIGHT_EDIT, L"120");
    ExpectFailure(OnlyBox(tool.Press(IDC_MODIFY_BUTTON, {IDOK})), "修改", ERROR_ACCESS_DENIED);

    const std::vector<Box> boxes = tool.Press(IDC_DELETE_BUTTON, {IDYES, IDOK});
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("确认删除", boxes[0].caption);
    ExpectFailure(boxes[1], "删除", ERROR_ACCESS_DENIED);
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

// --- A failing spooler call, one per change ---

struct Failure {
    const char* fault; // the spooler function that fails
    const char* action;
    DWORD code;
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.fault << " failing with " << failure.code; }

class SpoolerFailureScenario : public ChangesScenario, public ::testing::WithParamInterface<Failure> {};

TEST_P(SpoolerFailureScenario, ShowsTheFailedCallsSystemTextAndLeavesTheTableAlone)
{
    const Failure& failure = GetParam();
    state.Write(OfficeState(std::string("fault ") + failure.fault + " " + std::to_string(failure.code) + "\n"));
    tool.Start(state);
    const std::string action = failure.action;
    std::vector<Box> boxes;
    if (action == "添加") {
        Fill(L"新纸张 241x120", L"241", L"120");
        boxes = tool.Press(IDC_ADD_BUTTON, {IDOK});
    } else {
        tool.SelectRow(ReceiptRow);
        tool.Type(IDC_HEIGHT_EDIT, L"120");
        boxes = action == "修改" ? tool.Press(IDC_MODIFY_BUTTON, {IDOK})
                                 : tool.Press(IDC_DELETE_BUTTON, {IDYES, IDOK});
        EXPECT_EQ(ReceiptRow, tool.SelectedRow()) << "nothing is read back after a failure";
    }
    ASSERT_FALSE(boxes.empty());
    ExpectFailure(boxes.back(), action, failure.code);
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

INSTANTIATE_TEST_SUITE_P(EachChange, SpoolerFailureScenario,
                         ::testing::Values(Failure{"AddFormW", "添加", 1903}, Failure{"SetFormW", "修改", 1902},
                                           Failure{"DeleteFormW", "删除", 87}),
                         [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.fault); });

} // namespace e2e
