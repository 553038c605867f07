// What the spooler may hand over that a well-behaved one would not: forms without a name,
// zero, negative and extreme sizes, overlong and odd names, ten thousand forms, twins,
// odd flag bits, and printer names at and beyond the default printer's buffer.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/app.h"
#include "forms/forms.h"
#include "harness/harness.h"
#include "standin.h"

namespace {

const wchar_t Title[] = L"Zeltra \u00B7 纸张管理";
const wchar_t LongNameNotice[] = L"纸张名称不能超过 31 个字符。";
const wchar_t NameNotice[] = L"请输入纸张名称。";
const wchar_t SizeNotice[] = L"宽度和高度请输入 10～2000 mm 之间的数字。";

// Form lines give the flags as the number the spooler reports ("0" a user form).
std::string WithForms(const std::vector<std::string>& forms)
{
    std::string state = "admin yes\nstandard-forms no\nprinter \"Bad Data Printer\"\ndefault \"Bad Data Printer\"\n";
    for (const std::string& form : forms)
        state += form + "\n";
    return state;
}

// Exactly n code units, CJK and ASCII mixed, so a cut anywhere shows.
std::wstring LongText(size_t n, const std::wstring& head)
{
    std::wstring text = head;
    const std::wstring filler = L"纸张-Form-";
    while (text.size() < n)
        text += filler;
    text.resize(n);
    text.back() = L'$'; // the last unit is one that no cut could leave
    return text;
}

// Millimetres with one decimal for whole tenths, computed without any floating point.
std::wstring Tenths(int64_t thousandths)
{
    const int64_t tenths = (thousandths < 0 ? -thousandths : thousandths) / 100;
    return (thousandths < 0 ? L"-" : L"") + std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10);
}

std::vector<std::pair<std::wstring, std::wstring>> Shown()
{
    std::vector<std::pair<std::wstring, std::wstring>> shown;
    for (const ListRow& row : ListRows())
        shown.emplace_back(row.name, row.size);
    return shown;
}

std::string Text(const std::vector<std::pair<std::wstring, std::wstring>>& rows)
{
    std::string text;
    for (const auto& row : rows)
        text += "  \"" + Narrow(row.first) + "\" | \"" + Narrow(row.second) + "\"\n";
    return text;
}

class BadDataTest : public MainWindowTest {
protected:
    void Open(const std::string& state)
    {
        UseSpoolerState(state);
        ASSERT_NE(nullptr, OpenMainWindow());
    }

    // Presses a button that must raise exactly one box, answered with OK; returns it.
    RecordedBox PressForOneBox(HWND button)
    {
        ExpectBox();
        ClickButton(button);
        const std::vector<RecordedBox> boxes = TakeBoxes();
        EXPECT_EQ(1u, boxes.size());
        return boxes.empty() ? RecordedBox() : boxes.back();
    }
};

void ExpectNotice(const RecordedBox& box, const std::wstring& text)
{
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(Title, box.caption);
    EXPECT_EQ(BoxIcon::Information, box.icon);
}

} // namespace

TEST_F(BadDataTest, NamelessZeroNegativeAndExtremeSizesAreShownAsNumbersNeverGarbage)
{
    Open(WithForms({FormLine("0", 50000, 60000, nullptr), FormLine("0", 0, 0, L"Zero"),
                    FormLine("0", -5000, -12300, L"Negative"), FormLine("0", -1, 1, L"Almost zero"),
                    FormLine("0", INT32_MIN, INT32_MAX, L"Extremes"), FormLine("0", INT32_MAX, INT32_MIN, L"Reversed"),
                    FormLine("2", 0, -1, nullptr)}));
    SetCheck(CustomOnlyCheck, false);
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"", L"50.0 \u00D7 60.0 mm"},
        {L"Zero", L"0.0 \u00D7 0.0 mm"},
        {L"Negative", L"-5.0 \u00D7 -12.3 mm"},
        {L"Almost zero", L"-0.0 \u00D7 0.0 mm"}, // as "%.1f" writes -0.001
        {L"Extremes", L"-2147483.6 \u00D7 2147483.6 mm"},
        {L"Reversed", L"2147483.6 \u00D7 -2147483.6 mm"},
        {L"", L"0.0 \u00D7 -0.0 mm"},
    };
    EXPECT_EQ(expected, Shown()) << Text(Shown());
    EXPECT_EQ(L"显示 7 项，共读取 7 个纸张规格。", TextOf(StatusText));
    ASSERT_EQ(7u, FormCatalogue.size());
    EXPECT_EQ(INT32_MIN, FormCatalogue[4].width);
    EXPECT_EQ(INT32_MAX, FormCatalogue[4].height);

    // The editor shows what the list shows, and each refuses its own reason.
    const struct {
        int row;
        const wchar_t* name;
        const wchar_t* width;
        const wchar_t* height;
        const wchar_t* notice;
    } rows[] = {{0, L"", L"50.0", L"60.0", NameNotice},
                {1, L"Zero", L"0.0", L"0.0", SizeNotice},
                {2, L"Negative", L"-5.0", L"-12.3", SizeNotice},
                {4, L"Extremes", L"-2147483.6", L"2147483.6", SizeNotice}};
    const std::string before = SpoolerState();
    for (const auto& r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.row));
        TypeInto(NameEdit, L"something else");
        SelectRow(r.row);
        EXPECT_EQ(r.name, TextOf(NameEdit));
        EXPECT_EQ(r.width, TextOf(WidthEdit));
        EXPECT_EQ(r.height, TextOf(HeightEdit));
        EXPECT_TRUE(IsEnabled(ModifyButton));
        ExpectNotice(PressForOneBox(ModifyButton), r.notice);
    }
    EXPECT_EQ(before, SpoolerState());

    // A search of any text skips the nameless forms; an empty one shows them.
    TypeInto(SearchEdit, L"e");
    EXPECT_EQ(5u, ListRows().size());
    TypeInto(SearchEdit, L"");
    EXPECT_EQ(7u, ListRows().size());
}

TEST_F(BadDataTest, ANamelessFormIsDeletedByItsEmptyNameWhichTheSpoolerDoesNotKnow)
{
    Open(WithForms({FormLine("0", 50000, 60000, nullptr), FormLine("0", 100000, 100000, L"Named")}));
    const std::string before = SpoolerState();
    StandInResetCounters();
    SelectRow(0);
    ASSERT_TRUE(IsEnabled(DeleteButton));
    ExpectBox(IDYES);
    ExpectBox();
    ClickButton(DeleteButton);
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(L"确定删除自定义纸张？\r\n\r\n", boxes[0].text);
    EXPECT_EQ(L"删除失败：\r\n" + SystemText(ERROR_INVALID_FORM_NAME), boxes[1].text);
    EXPECT_EQ(L"删除失败", boxes[1].caption);
    EXPECT_EQ(1u, StandInCallCount("DeleteFormW"));
    EXPECT_EQ(before, SpoolerState());
}

TEST_F(BadDataTest, NamesOf31_32And200UnitsAreListedWholeAndOnlyTheShortestCanBeModified)
{
    const std::wstring name31 = LongText(31, L"Thirty-one ");
    const std::wstring name32 = LongText(32, L"Thirty-two ");
    const std::wstring name200 = LongText(200, L"Two hundred ");
    Open(WithForms({FormLine("0", 241000, 93000, name31), FormLine("0", 241000, 140000, name32),
                    FormLine("0", 241000, 101600, name200)}));
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {name31, L"241.0 \u00D7 93.0 mm"}, {name32, L"241.0 \u00D7 140.0 mm"}, {name200, L"241.0 \u00D7 101.6 mm"}};
    EXPECT_EQ(expected, Shown()) << Text(Shown());

    // The 200-unit name fills the box whole; modify then refuses it as too long.
    const std::string before = SpoolerState();
    SelectRow(2);
    EXPECT_EQ(name200, TextOf(NameEdit));
    EXPECT_EQ(200, GetWindowTextLengthW(NameEdit));
    ExpectNotice(PressForOneBox(ModifyButton), LongNameNotice);
    SelectRow(1);
    EXPECT_EQ(name32, TextOf(NameEdit));
    ExpectNotice(PressForOneBox(ModifyButton), LongNameNotice);
    EXPECT_EQ(before, SpoolerState());

    SelectRow(0);
    EXPECT_EQ(name31, TextOf(NameEdit));
    TypeInto(HeightEdit, L"127");
    ExpectNotice(PressForOneBox(ModifyButton), L"纸张尺寸已修改。");
    EXPECT_EQ((std::vector<std::string>{FormLine("user", 241000, 127000, name31),
                                        FormLine("user", 241000, 140000, name32),
                                        FormLine("user", 241000, 101600, name200)}),
              PersistedFormLines());

    // Deleting needs no name check: the long form can still be removed.
    SelectRow(2);
    ExpectBox(IDYES);
    ExpectBox();
    ClickButton(DeleteButton);
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(L"确定删除自定义纸张？\r\n\r\n" + name200, boxes[0].text);
    ExpectNotice(boxes[1], L"纸张已删除。");
    EXPECT_EQ(2u, PersistedFormLines().size());
    EXPECT_EQ(2u, ListRows().size());
}

TEST_F(BadDataTest, ControlCharactersAndLoneSurrogatesInNamesArriveUnchanged)
{
    const std::vector<std::wstring> names = {L"Tab\tin name", L"Line\r\nbreak", std::wstring(L"Lone \xD800 high"),
                                             std::wstring(L"Lone \xDC00 low"), L"Outside \U0001F4C4 BMP",
                                             L"Quote \" and \\ backslash"};
    std::vector<std::string> forms;
    for (const std::wstring& name : names)
        forms.push_back(FormLine("0", 100000, 100000, name));
    Open(WithForms(forms));
    const std::vector<ListRow> rows = ListRows();
    ASSERT_EQ(names.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(names[r], rows[r].name) << "row " << r;
        EXPECT_EQ(L"100.0 \u00D7 100.0 mm", rows[r].size) << "row " << r;
    }
    SelectRow(2);
    EXPECT_EQ(names[2], TextOf(NameEdit));
}

TEST_F(BadDataTest, TenThousandFormsLoadFilterAndSearchExactly)
{
    // Every tenth form is built in and the one after it the printer's; the rest are the user's.
    struct Bulk {
        std::wstring name;
        uint32_t flags;
        int32_t width, height;
    };
    std::vector<Bulk> bulk;
    std::vector<std::string> forms;
    for (int i = 0; i < 10000; ++i) {
        wchar_t name[16];
        swprintf(name, 16, L"Bulk %05d", i);
        const uint32_t flags = i % 10 == 0 ? 1u : i % 10 == 1 ? 2u : 0u;
        bulk.push_back({name, flags, 100000 + (i % 1000) * 100, 200000 + (i % 700) * 100});
        forms.push_back(FormLine(std::to_string(flags), bulk.back().width, bulk.back().height, bulk.back().name));
    }
    Open(WithForms(forms));
    ASSERT_EQ(10000u, FormCatalogue.size());

    // The rows must be these catalogue positions, each with its own texts.
    auto expectRows = [&](const std::vector<size_t>& positions) {
        const std::vector<ListRow> rows = ListRows();
        ASSERT_EQ(positions.size(), rows.size());
        ASSERT_EQ(positions.size(), VisibleRows.size());
        size_t wrong = 0;
        for (size_t r = 0; r < rows.size() && wrong < 5; ++r) {
            const Bulk& b = bulk[positions[r]];
            const std::wstring size = Tenths(b.width) + L" \u00D7 " + Tenths(b.height) + L" mm";
            if (rows[r].name != b.name || rows[r].size != size || VisibleRows[r] != positions[r]) {
                ++wrong;
                ADD_FAILURE() << "row " << r << ": \"" << Narrow(rows[r].name) << "\" \"" << Narrow(rows[r].size)
                              << "\", expected \"" << Narrow(b.name) << "\" \"" << Narrow(size) << "\"";
            }
        }
    };
    auto positions = [&](bool customOnly, const std::wstring& digits) {
        std::vector<size_t> out;
        for (size_t i = 0; i < bulk.size(); ++i)
            if ((!customOnly || bulk[i].flags == 0) && bulk[i].name.find(digits) != std::wstring::npos)
                out.push_back(i);
        return out;
    };

    // Custom-only is on from the start: 8,000 user forms.
    expectRows(positions(true, L""));
    EXPECT_EQ(L"显示 8000 项，共读取 10000 个纸张规格。", TextOf(StatusText));
    SetCheck(CustomOnlyCheck, false);
    expectRows(positions(false, L""));
    EXPECT_EQ(L"显示 10000 项，共读取 10000 个纸张规格。", TextOf(StatusText));

    TypeInto(SearchEdit, L"bulk 0004");
    expectRows(positions(false, L"Bulk 0004"));
    EXPECT_EQ(L"显示 10 项，共读取 10000 个纸张规格。", TextOf(StatusText));
    SetCheck(CustomOnlyCheck, true);
    expectRows(positions(true, L"Bulk 0004"));
    EXPECT_EQ(L"显示 8 项，共读取 10000 个纸张规格。", TextOf(StatusText));
    TypeInto(SearchEdit, L"99");
    expectRows(positions(true, L"99"));
    EXPECT_EQ(L"显示 " + std::to_wstring(positions(true, L"99").size()) + L" 项，共读取 10000 个纸张规格。",
              TextOf(StatusText));
    TypeInto(SearchEdit, L"BULK 09999");
    expectRows({9999});
    SelectRow(0);
    EXPECT_EQ(9999, SelectedFormIndex());
    EXPECT_EQ(L"Bulk 09999", TextOf(NameEdit));
    EXPECT_EQ(Tenths(bulk[9999].width), TextOf(WidthEdit));
    EXPECT_TRUE(IsEnabled(ModifyButton));
    TypeInto(SearchEdit, L"no such form");
    expectRows({});
    EXPECT_EQ(L"显示 0 项，共读取 10000 个纸张规格。", TextOf(StatusText));
}

TEST_F(BadDataTest, TwinNamesAreTwoRowsAndChangesKeyedByTheNameReachTheFirstTwin)
{
    Open(WithForms({FormLine("0", 100000, 100000, L"Twin"), FormLine("1", 210000, 297000, L"A4"),
                    FormLine("0", 200000, 200000, L"Twin")}));
    SetCheck(CustomOnlyCheck, false);
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"Twin", L"100.0 \u00D7 100.0 mm"}, {L"A4", L"210.0 \u00D7 297.0 mm"}, {L"Twin", L"200.0 \u00D7 200.0 mm"}};
    EXPECT_EQ(expected, Shown()) << Text(Shown());
    const std::string before = SpoolerState();

    // Resizing the second twin: the spooler looks the name up, finds the first twin, and
    // refuses because the record's name is also the second twin's.
    SelectRow(2);
    EXPECT_EQ(L"200.0", TextOf(WidthEdit));
    TypeInto(HeightEdit, L"150");
    StandInResetCounters();
    const RecordedBox failure = PressForOneBox(ModifyButton);
    EXPECT_EQ(L"修改失败：\r\n" + SystemText(ERROR_FILE_EXISTS), failure.text);
    EXPECT_EQ(L"修改失败", failure.caption);
    EXPECT_EQ(1u, StandInCallCount("SetFormW"));
    EXPECT_EQ(before, SpoolerState());

    // Deleting the second twin deletes by name, so the first twin goes and the selected one stays.
    SelectRow(2);
    ExpectBox(IDYES);
    ExpectBox();
    ClickButton(DeleteButton);
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(L"确定删除自定义纸张？\r\n\r\nTwin", boxes[0].text);
    ExpectNotice(boxes[1], L"纸张已删除。");
    EXPECT_EQ((std::vector<std::string>{"form builtin 210000 297000 0 0 210000 297000 \"A4\"",
                                        "form user 200000 200000 0 0 200000 200000 \"Twin\""}),
              PersistedFormLines());
    const std::vector<std::pair<std::wstring, std::wstring>> after = {{L"A4", L"210.0 \u00D7 297.0 mm"},
                                                                      {L"Twin", L"200.0 \u00D7 200.0 mm"}};
    EXPECT_EQ(after, Shown()) << Text(Shown());
}

TEST_F(BadDataTest, OnlyTheTwoLowFlagBitsProtectAndOtherBitsAreKeptAsReported)
{
    Open(WithForms({FormLine("4", 100000, 100000, L"Bit two"), FormLine("3", 100000, 100000, L"Both low bits"),
                    FormLine(std::to_string(0x80000000u), 100000, 100000, L"High bit"),
                    FormLine(std::to_string(0xFFFFFFFFu), 100000, 100000, L"All bits"),
                    FormLine(std::to_string(0xFFFFFFFCu), 100000, 100000, L"All but the low two")}));
    // Custom-only shows the forms whose two low bits are clear.
    std::vector<std::wstring> names;
    for (const ListRow& row : ListRows())
        names.push_back(row.name);
    EXPECT_EQ((std::vector<std::wstring>{L"Bit two", L"High bit", L"All but the low two"}), names);
    ASSERT_EQ(5u, FormCatalogue.size());
    EXPECT_EQ(0xFFFFFFFCu, FormCatalogue[4].flags);
    SelectRow(2);
    EXPECT_TRUE(IsEnabled(ModifyButton));
    EXPECT_TRUE(IsEnabled(DeleteButton));
    SetCheck(CustomOnlyCheck, false);
    SelectRow(3);
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));
}

TEST_F(BadDataTest, PrinterNamesOf511_512And600UnitsAreListedWholeAndOnlyA511UnitDefaultCounts)
{
    const std::wstring p511 = LongText(511, L"Printer 511 ");
    const std::wstring p512 = LongText(512, L"Printer 512 ");
    const std::wstring p600 = LongText(600, L"Printer 600 ");
    const std::string printers = "printer \"First\"\nprinter " + Quote(p511) + "\nprinter " + Quote(p512) +
                                 "\nprinter " + Quote(p600) + "\n";
    const std::string forms = "form user 241000 93000 0 0 241000 93000 \"Long Printer Form\"\n";
    const std::vector<std::wstring> entries = {L"First", p511, p512, p600};

    const struct {
        const std::wstring* name;
        int selected;
    } defaults[] = {{&p511, 1}, {&p512, 0}, {&p600, 0}};
    for (const auto& d : defaults) {
        SCOPED_TRACE("default of " + std::to_string(d.name->size()) + " units");
        UseSpoolerState("admin yes\nstandard-forms no\n" + printers + "default " + Quote(*d.name) + "\n" + forms);
        ASSERT_NE(nullptr, OpenMainWindow());
        EXPECT_EQ(entries, PrinterEntries());
        EXPECT_EQ(d.selected, SelectedPrinterIndex());
        EXPECT_EQ(entries[static_cast<size_t>(d.selected)], SelectedPrinterName());
        EXPECT_EQ(1u, ListRows().size());
        CloseMainWindow();
    }

    // The longest printer opens by its whole name.
    UseSpoolerState("admin yes\nstandard-forms no\n" + printers + forms);
    ASSERT_NE(nullptr, OpenMainWindow());
    StandInResetCounters();
    ChoosePrinter(3);
    EXPECT_EQ(p600, SelectedPrinterName());
    EXPECT_EQ(1u, StandInCallCount("OpenPrinterW"));
    const std::string log = SpoolerLog();
    EXPECT_NE(std::string::npos, log.find("OpenPrinterW " + Quote(p600) + " access=0x00000008 -> TRUE")) << log;
    EXPECT_EQ(L"显示 1 项，共读取 1 个纸张规格。", TextOf(StatusText));
}

TEST_F(BadDataTest, ARecordCountBeyondTheFilledBytesIsCutToTheRecordsThoseBytesHold)
{
    // Nameless forms: the buffer holds the two records and nothing else.
    const std::string forms =
        FormLine("0", 100000, 100000, nullptr) + "\n" + FormLine("0", 200000, 200000, nullptr) + "\n";
    Open("admin yes\nstandard-forms no\nprinter \"A\"\nprinter \"B\"\ndefault \"B\"\n" + forms +
         "fault EnumFormsW.count 100000\nfault EnumPrintersW.count 100000\n");
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), PrinterEntries());
    EXPECT_EQ(1, SelectedPrinterIndex());
    ASSERT_EQ(2u, FormCatalogue.size());
    EXPECT_EQ(200000, FormCatalogue[1].width);
    EXPECT_EQ(L"显示 2 项，共读取 2 个纸张规格。", TextOf(StatusText));
}
