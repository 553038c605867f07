// Reading a printer's forms into the catalogue and showing them: rows, filter, search, status.
#include "app/app.h"
#include "forms/forms.h"
#include "harness/harness.h"
#include "standin.h"

namespace {

std::string WithForms(const std::vector<std::string>& forms)
{
    std::string state = "admin yes\nstandard-forms no\nprinter \"List Printer\"\nprinter \"Second Printer\"\n"
                        "default \"List Printer\"\n";
    for (const std::string& form : forms)
        state += form + "\n";
    return state;
}

// Rows and VisibleRows must describe the same forms, in catalogue order.
void ExpectRowsAgreeWithCatalogue()
{
    const std::vector<ListRow> rows = ListRows();
    ASSERT_EQ(VisibleRows.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        ASSERT_LT(VisibleRows[r], FormCatalogue.size());
        if (r > 0) {
            EXPECT_LT(VisibleRows[r - 1], VisibleRows[r]);
        }
        const PaperForm& form = FormCatalogue[VisibleRows[r]];
        EXPECT_EQ(form.name, rows[r].name);
        EXPECT_EQ(FormatSizeText(form.width, form.height), rows[r].size);
        EXPECT_EQ(static_cast<LPARAM>(VisibleRows[r]), rows[r].param);
    }
}

std::vector<std::wstring> RowNames()
{
    std::vector<std::wstring> names;
    for (const ListRow& row : ListRows())
        names.push_back(row.name);
    return names;
}

class FormListTest : public MainWindowTest {};

} // namespace

TEST_F(FormListTest, RowsShowNameAndSizeInCatalogueOrder)
{
    UseSpoolerState(WithForms({FormLine("user", 241000, 93000, L"Zeta"), FormLine("builtin", 210000, 297000, L"A4"),
                               FormLine("user", 101600, 127000, L"Alpha"), FormLine("printer", 10250, 10750, L"Tiny"),
                               FormLine("user", 241000, 140000, L"Alpha"), FormLine("user", 50000, 60000, nullptr)}));
    ASSERT_NE(nullptr, OpenMainWindow());
    SetCheck(CustomOnlyCheck, false);
    ExpectRowsAgreeWithCatalogue();
    const std::vector<ListRow> rows = ListRows();
    ASSERT_EQ(6u, rows.size());
    const std::pair<std::wstring, std::wstring> expected[] = {
        {L"Zeta", L"241.0 \u00D7 93.0 mm"},  {L"A4", L"210.0 \u00D7 297.0 mm"},
        {L"Alpha", L"101.6 \u00D7 127.0 mm"}, {L"Tiny", L"10.2 \u00D7 10.8 mm"},
        {L"Alpha", L"241.0 \u00D7 140.0 mm"}, {L"", L"50.0 \u00D7 60.0 mm"},
    };
    for (size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(expected[r].first, rows[r].name) << "row " << r;
        EXPECT_EQ(expected[r].second, rows[r].size) << "row " << r;
        EXPECT_EQ(static_cast<LPARAM>(r), rows[r].param);
    }
    EXPECT_EQ(L"显示 6 项，共读取 6 个纸张规格。", TextOf(StatusText));
    ASSERT_EQ(6u, FormCatalogue.size());
    EXPECT_EQ(1u, FormCatalogue[1].flags);
    EXPECT_EQ(2u, FormCatalogue[3].flags);
    EXPECT_TRUE(FormCatalogue[5].name.empty());
}

TEST_F(FormListTest, CustomOnlyFilterShowsUserFormsAndCountsEveryForm)
{
    std::vector<std::string> forms;
    for (int i = 0; i < 40; ++i)
        forms.push_back(FormLine(i % 2 ? "builtin" : "printer", 100000 + i, 200000, L"Built " + std::to_wstring(i)));
    forms.push_back(FormLine("user", 241000, 93000, L"User one"));
    forms.push_back(FormLine("user", 241000, 140000, L"User two"));
    UseSpoolerState(WithForms(forms));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_EQ((std::vector<std::wstring>{L"User one", L"User two"}), RowNames());
    EXPECT_EQ(L"显示 2 项，共读取 42 个纸张规格。", TextOf(StatusText));
    ExpectRowsAgreeWithCatalogue();

    SetCheck(CustomOnlyCheck, false);
    EXPECT_EQ(42u, ListRows().size());
    EXPECT_EQ(L"显示 42 项，共读取 42 个纸张规格。", TextOf(StatusText));
    ExpectRowsAgreeWithCatalogue();

    SetCheck(CustomOnlyCheck, true);
    EXPECT_EQ(2u, ListRows().size());
    ExpectRowsAgreeWithCatalogue();
}

TEST_F(FormListTest, SearchFoldsOnlyAToZAndMatchesAnywhere)
{
    UseSpoolerState(WithForms({FormLine("user", 210000, 297000, L"A4"), FormLine("user", 200000, 280000, L"a4 small"),
                               FormLine("user", 210000, 297000, L"ISO A4"), FormLine("user", 148000, 210000, L"A5"),
                               FormLine("user", 100000, 100000, L"\uFF41 wide"), FormLine("user", 100000, 100000, L"\u00E9t\u00E9"),
                               FormLine("user", 100000, 100000, L"NoSpace")}));
    ASSERT_NE(nullptr, OpenMainWindow());
    const std::vector<std::wstring> a4 = {L"A4", L"a4 small", L"ISO A4"};
    TypeInto(SearchEdit, L"a4");
    EXPECT_EQ(a4, RowNames());
    ExpectRowsAgreeWithCatalogue();
    TypeInto(SearchEdit, L"A4");
    EXPECT_EQ(a4, RowNames());
    EXPECT_EQ(L"显示 3 项，共读取 7 个纸张规格。", TextOf(StatusText));

    TypeInto(SearchEdit, L"\uFF21"); // full-width Ａ does not fold onto ａ
    EXPECT_TRUE(RowNames().empty());
    TypeInto(SearchEdit, L"\u00C9"); // É does not fold onto é
    EXPECT_TRUE(RowNames().empty());
    TypeInto(SearchEdit, L"\u00E9T");
    EXPECT_EQ(std::vector<std::wstring>{L"\u00E9t\u00E9"}, RowNames());

    TypeInto(SearchEdit, L" ");
    EXPECT_EQ((std::vector<std::wstring>{L"a4 small", L"ISO A4", L"\uFF41 wide"}), RowNames());

    TypeInto(SearchEdit, L"");
    EXPECT_EQ(7u, ListRows().size());
    ExpectRowsAgreeWithCatalogue();
}

TEST_F(FormListTest, SearchAndFilterMustBothPass)
{
    UseSpoolerState(WithForms({FormLine("builtin", 210000, 297000, L"A4"), FormLine("user", 210000, 297000, L"My A4"),
                               FormLine("user", 148000, 210000, L"A5")}));
    ASSERT_NE(nullptr, OpenMainWindow());
    TypeInto(SearchEdit, L"a4");
    EXPECT_EQ(std::vector<std::wstring>{L"My A4"}, RowNames());
    SetCheck(CustomOnlyCheck, false);
    EXPECT_EQ((std::vector<std::wstring>{L"A4", L"My A4"}), RowNames());
    TypeInto(SearchEdit, L"");
    EXPECT_EQ(3u, ListRows().size());
}

TEST_F(FormListTest, ALongSearchIsUsedAsItsFirst255Units)
{
    const std::wstring head(255, L'x');
    UseSpoolerState(WithForms({FormLine("user", 100000, 100000, head.substr(0, 31)),
                               FormLine("user", 100000, 100000, head + L"z")}));
    ASSERT_NE(nullptr, OpenMainWindow());
    TypeInto(SearchEdit, head + std::wstring(45, L'y'));
    EXPECT_EQ(std::vector<std::wstring>{head + L"z"}, RowNames());
}

TEST_F(FormListTest, EmptyTableGivesTheEmptySummary)
{
    UseSpoolerState(WithForms({}));
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_TRUE(ListRows().empty());
    EXPECT_EQ(L"显示 0 项，共读取 0 个纸张规格。", TextOf(StatusText));
    CloseMainWindow();

    // A sizing call that reports 0 bytes with code 0 counts as an empty table.
    UseSpoolerState(WithForms({FormLine("user", 100000, 100000, L"Hidden")}) + "fault EnumFormsW.size 0\n");
    ASSERT_NE(nullptr, OpenMainWindow());
    EXPECT_TRUE(ListRows().empty());
    EXPECT_TRUE(FormCatalogue.empty());
    EXPECT_EQ(L"显示 0 项，共读取 0 个纸张规格。", TextOf(StatusText));

    // So does one that sets no code at all, whatever code an earlier call left behind.
    UseSpoolerState(WithForms({FormLine("user", 100000, 100000, L"Hidden")}) + "fault EnumFormsW.silent\n");
    SetLastError(ERROR_ACCESS_DENIED);
    LoadForms();
    EXPECT_TRUE(FormCatalogue.empty());
    EXPECT_EQ(L"显示 0 项，共读取 0 个纸张规格。", TextOf(StatusText));
}

TEST_F(FormListTest, FailedReloadsKeepTheOldRowsAndShowTheSystemText)
{
    const std::vector<std::string> forms = {FormLine("user", 241000, 93000, L"Keep me"),
                                            FormLine("user", 241000, 140000, L"Me too")};
    UseSpoolerState(WithForms(forms));
    ASSERT_NE(nullptr, OpenMainWindow());
    const std::vector<std::wstring> before = RowNames();
    ASSERT_EQ(2u, before.size());

    // Another client adds a form between the sizing and the filling call.
    UseSpoolerState(WithForms(forms) + "fault EnumFormsW.grow\n");
    ClickButton(RefreshButton);
    EXPECT_EQ(L"读取纸张失败：" + SystemText(ERROR_INSUFFICIENT_BUFFER), TextOf(StatusText));
    EXPECT_TRUE(FormCatalogue.empty());
    EXPECT_EQ(before, RowNames());
    EXPECT_EQ(2u, VisibleRows.size());
    EXPECT_EQ(0, StandInOpenHandles());

    // The sizing call refused with another code.
    UseSpoolerState(WithForms(forms) + "fault EnumFormsW.size 5\n");
    ClickButton(RefreshButton);
    EXPECT_EQ(L"读取纸张失败：" + SystemText(5), TextOf(StatusText));
    EXPECT_EQ(before, RowNames());

    // The filling call fails.
    UseSpoolerState(WithForms(forms) + "fault EnumFormsW.fill 1722\n");
    ClickButton(RefreshButton);
    EXPECT_EQ(L"读取纸张失败：" + SystemText(1722), TextOf(StatusText));
    EXPECT_EQ(before, RowNames());
    EXPECT_EQ(0, StandInOpenHandles());

    // A change of the search rebuilds from the now empty catalogue.
    TypeInto(SearchEdit, L"k");
    EXPECT_TRUE(ListRows().empty());
    EXPECT_EQ(L"显示 0 项，共读取 0 个纸张规格。", TextOf(StatusText));
}

TEST_F(FormListTest, APrinterThatCannotBeOpenedLeavesRowsAndStatusAsTheyWere)
{
    UseSpoolerState(WithForms({FormLine("user", 241000, 93000, L"First printer form")}));
    ASSERT_NE(nullptr, OpenMainWindow());
    const std::vector<std::wstring> before = RowNames();
    const std::wstring status = TextOf(StatusText);
    UseSpoolerState(WithForms({FormLine("user", 241000, 93000, L"First printer form")}) + "fault OpenPrinterW 0x8 5\n");
    ExpectBox();
    ChoosePrinter(1);
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"无法打开打印机：\r\n" + SystemText(5), boxes[0].text);
    EXPECT_EQ(L"读取失败", boxes[0].caption);
    EXPECT_EQ(before, RowNames());
    EXPECT_EQ(status, TextOf(StatusText));
    EXPECT_TRUE(FormCatalogue.empty());

    // The old rows stand for nothing now: selecting one is no selection.
    SelectRow(0);
    EXPECT_EQ(-1, SelectedFormIndex());
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));
}

TEST_F(FormListTest, ChoosingAnotherPrinterReloadsAndClearsTheSelection)
{
    UseSpoolerState(WithForms({FormLine("user", 241000, 93000, L"Shared form")}));
    ASSERT_NE(nullptr, OpenMainWindow());
    SelectRow(0);
    EXPECT_TRUE(IsEnabled(ModifyButton));
    StandInResetCounters();
    ChoosePrinter(1);
    EXPECT_EQ(1u, StandInCallCount("OpenPrinterW"));
    EXPECT_EQ(2u, StandInCallCount("EnumFormsW"));
    EXPECT_EQ(-1, SelectedFormIndex());
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));
    ExpectRowsAgreeWithCatalogue();
}
