// The form list, its two filters, the selection and the presets, as a user works them.
#include "scenario.h"

namespace e2e {

namespace {

class ListScenario : public Scenario {
protected:
    void StartWithEveryForm()
    {
        state.Write(OfficeState());
        tool.Start(state);
        tool.Press(IDC_CUSTOM_ONLY_CHECK);
        ASSERT_FALSE(tool.Checked(IDC_CUSTOM_ONLY_CHECK));
    }
};

std::string Summary(int rows) { return "显示 " + std::to_string(rows) + " 项，共读取 5 个纸张规格。"; }

} // namespace

TEST_F(ListScenario, TheCustomOnlyFilterHidesBuiltInAndDriverFormsAndCountsThemAll)
{
    state.Write(OfficeState());
    tool.Start(state);
    ASSERT_TRUE(tool.Checked(IDC_CUSTOM_ONLY_CHECK));
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    EXPECT_EQ(Summary(3), tool.Text(IDC_STATUS_TEXT));

    tool.Press(IDC_CUSTOM_ONLY_CHECK);
    EXPECT_FALSE(tool.Checked(IDC_CUSTOM_ONLY_CHECK));
    EXPECT_EQ(OfficeAllRows(), tool.Rows());
    EXPECT_EQ(Summary(5), tool.Text(IDC_STATUS_TEXT));

    // A protected form selected, then hidden by the filter: nothing stays selected.
    tool.SelectRow(0);
    EXPECT_EQ(0, tool.SelectedRow());
    tool.Press(IDC_CUSTOM_ONLY_CHECK);
    EXPECT_TRUE(tool.Checked(IDC_CUSTOM_ONLY_CHECK));
    EXPECT_EQ(OfficeUserRows(), tool.Rows());
    EXPECT_EQ(Summary(3), tool.Text(IDC_STATUS_TEXT));
    EXPECT_EQ(-1, tool.SelectedRow());
    EXPECT_FALSE(tool.Enabled(IDC_MODIFY_BUTTON));
    EXPECT_FALSE(tool.Enabled(IDC_DELETE_BUTTON));
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(ListScenario, TypingInTheSearchBoxFiltersAsTheUserTypes)
{
    StartWithEveryForm();
    const struct {
        const wchar_t* typed;
        std::vector<std::string> rows;
    } steps[] = {
        {L"DP", {"DP-750 Label 100x150 | 100.0 × 150.0 mm"}},
        {L"241X", {"发货单 241x93 | 241.0 × 93.0 mm", "收据 241x101.6mm | 241.0 × 101.6 mm",
                   "Zeltra 241x279.4mm | 241.0 × 279.4 mm"}},
        {L"收据", {"收据 241x101.6mm | 241.0 × 101.6 mm"}},
        {L".6MM", {"收据 241x101.6mm | 241.0 × 101.6 mm"}},
        {L"zzz", {}},
        {L"", OfficeAllRows()},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE("search \"" + Narrow(step.typed) + "\"");
        tool.Type(IDC_SEARCH_EDIT, step.typed);
        EXPECT_EQ(Narrow(step.typed), tool.Text(IDC_SEARCH_EDIT));
        EXPECT_EQ(step.rows, tool.Rows());
        EXPECT_EQ(Summary(static_cast<int>(step.rows.size())), tool.Text(IDC_STATUS_TEXT));
    }

    // Both filters must pass: the driver form matches the search but is not a user form.
    tool.Type(IDC_SEARCH_EDIT, L"dp");
    tool.Press(IDC_CUSTOM_ONLY_CHECK);
    EXPECT_EQ(std::vector<std::string>{}, tool.Rows());
    EXPECT_EQ(Summary(0), tool.Text(IDC_STATUS_TEXT));
    tool.Type(IDC_SEARCH_EDIT, L"zeltra");
    EXPECT_EQ(std::vector<std::string>{"Zeltra 241x279.4mm | 241.0 × 279.4 mm"}, tool.Rows());
    EXPECT_EQ(Summary(1), tool.Text(IDC_STATUS_TEXT));
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(ListScenario, SelectingARowFillsTheEditorAndEnablesChangesOnlyForUserForms)
{
    StartWithEveryForm();
    const struct {
        int row;
        const char* name;
        const char* width;
        const char* height;
        bool changeable;
    } steps[] = {
        {0, "A4", "210.0", "297.0", false},
        {3, "收据 241x101.6mm", "241.0", "101.6", true},
        {2, "DP-750 Label 100x150", "100.0", "150.0", false},
        {4, "Zeltra 241x279.4mm", "241.0", "279.4", true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE("row " + std::to_string(step.row));
        tool.SelectRow(step.row);
        EXPECT_EQ(step.row, tool.SelectedRow());
        EXPECT_EQ(step.name, tool.Text(IDC_NAME_EDIT));
        EXPECT_EQ(step.width, tool.Text(IDC_WIDTH_EDIT));
        EXPECT_EQ(step.height, tool.Text(IDC_HEIGHT_EDIT));
        EXPECT_EQ(step.changeable, tool.Enabled(IDC_MODIFY_BUTTON)) << "修改 enabled";
        EXPECT_EQ(step.changeable, tool.Enabled(IDC_DELETE_BUTTON)) << "删除 enabled";
        EXPECT_TRUE(tool.Enabled(IDC_ADD_BUTTON));
    }
    // Clearing the selection disables the changes and leaves the editor as it was.
    tool.SelectRow(-1);
    EXPECT_EQ(-1, tool.SelectedRow());
    EXPECT_FALSE(tool.Enabled(IDC_MODIFY_BUTTON));
    EXPECT_FALSE(tool.Enabled(IDC_DELETE_BUTTON));
    EXPECT_EQ("Zeltra 241x279.4mm", tool.Text(IDC_NAME_EDIT));
    EXPECT_EQ("279.4", tool.Text(IDC_HEIGHT_EDIT));
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(ListScenario, EachPresetFillsTheEditorAndChangesNothingElse)
{
    state.Write(OfficeState());
    const std::string before = state.Read();
    tool.Start(state);
    const struct {
        int id;
        const char* caption;
        const char* name;
        const char* width;
        const char* height;
    } presets[] = {
        {IDC_PRESET_THIRD, "三等分 241×93", "三等分多联纸", "241", "93"},
        {IDC_PRESET_101, "241×101.6", "Zeltra 241x101.6mm", "241", "101.6"},
        {IDC_PRESET_127, "241×127", "Zeltra 241x127mm", "241", "127"},
        {IDC_PRESET_HALF, "二等分 241×140", "二等分多联纸", "241", "140"},
    };
    for (const auto& preset : presets) {
        SCOPED_TRACE(preset.caption);
        EXPECT_EQ(preset.caption, tool.Text(preset.id)) << "preset button caption";
        tool.Type(IDC_NAME_EDIT, L"typed by the user");
        tool.Type(IDC_HEIGHT_EDIT, L"55");
        EXPECT_EQ(0u, tool.Press(preset.id).size());
        EXPECT_EQ(preset.name, tool.Text(IDC_NAME_EDIT));
        EXPECT_EQ(preset.width, tool.Text(IDC_WIDTH_EDIT));
        EXPECT_EQ(preset.height, tool.Text(IDC_HEIGHT_EDIT));
        EXPECT_EQ(OfficeUserRows(), tool.Rows());
        EXPECT_EQ(Summary(3), tool.Text(IDC_STATUS_TEXT));
    }
    tool.Close();
    EXPECT_EQ(before, state.Read()) << "a preset must not write to the spooler";
}

} // namespace e2e
