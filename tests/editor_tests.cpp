// The form editor on the real window: selection into the fields, validation, presets, buttons.
#include <windows.h>

#include <commctrl.h>

#include "app/app.h"
#include "forms/forms.h"
#include "harness/harness.h"
#include "standin.h"

namespace {

const wchar_t NameNotice[] = L"请输入纸张名称。";
const wchar_t LongNameNotice[] = L"纸张名称不能超过 31 个字符。";
const wchar_t SizeNotice[] = L"宽度和高度请输入 10～2000 mm 之间的数字。";

const char EditorState[] =
    "admin yes\nstandard-forms no\nprinter \"Editor Printer\"\ndefault \"Editor Printer\"\n"
    "form builtin 210000 297000 0 0 210000 297000 \"A4\"\n"
    "form user 241000 93000 0 0 241000 93000 \"Thirds\"\n"
    "form printer 100000 150000 0 0 100000 150000 \"Driver label\"\n"
    "form user 210025 297000 0 0 210025 297000 \"Almost A4\"\n";

class EditorTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        UseSpoolerState(EditorState);
        ASSERT_NE(nullptr, OpenMainWindow());
        SetCheck(CustomOnlyCheck, false);
    }

    // Fills the editor and reads it; returns the one notice shown, or empty on success.
    std::wstring Read(const std::wstring& name, const std::wstring& width, const std::wstring& height,
                      int32_t* outWidth = nullptr, int32_t* outHeight = nullptr)
    {
        TypeInto(NameEdit, name);
        TypeInto(WidthEdit, width);
        TypeInto(HeightEdit, height);
        ExpectBox();
        std::wstring readName;
        int32_t w = -1, h = -1;
        const bool ok = ReadEditorFields(&readName, &w, &h);
        const std::vector<RecordedBox> boxes = TakeBoxes();
        if (ok) {
            // No box came, so the scripted answer is still queued.
            EXPECT_TRUE(boxes.empty());
            ForgetBoxAnswers();
            EXPECT_EQ(name.substr(0, 127), readName);
            if (outWidth)
                *outWidth = w;
            if (outHeight)
                *outHeight = h;
            return std::wstring();
        }
        EXPECT_EQ(1u, boxes.size()) << "exactly one notice per failed read";
        if (boxes.empty())
            return L"(no box)";
        EXPECT_EQ(L"Zeltra \u00B7 纸张管理", boxes[0].caption);
        EXPECT_EQ(BoxIcon::Information, boxes[0].icon);
        EXPECT_EQ(MainWindow, boxes[0].owner);
        return boxes[0].text;
    }
};

} // namespace

TEST_F(EditorTest, NoticesComeOneAtATimeInTheirOrder)
{
    EXPECT_EQ(NameNotice, Read(L"", L"", L""));
    EXPECT_EQ(NameNotice, Read(L"", L"abc", L"5"));
    EXPECT_EQ(LongNameNotice, Read(std::wstring(32, L'n'), L"", L""));
    EXPECT_EQ(SizeNotice, Read(L"ok", L"abc", L"abc"));
    EXPECT_EQ(SizeNotice, Read(L"ok", L"241", L"9"));
}

TEST_F(EditorTest, NameLengthCountsUtf16UnitsAndTakesTheNameAsTyped)
{
    EXPECT_EQ(L"", Read(std::wstring(31, L'n'), L"241", L"93"));
    EXPECT_EQ(LongNameNotice, Read(std::wstring(32, L'n'), L"241", L"93"));
    EXPECT_EQ(LongNameNotice, Read(std::wstring(200, L'n'), L"241", L"93"));
    EXPECT_EQ(L"", Read(std::wstring(31, L'纸'), L"241", L"93"));
    const std::wstring outsideBmp = L"\U0001F4C4"; // two code units
    EXPECT_EQ(L"", Read(std::wstring(29, L'n') + outsideBmp, L"241", L"93"));
    EXPECT_EQ(LongNameNotice, Read(std::wstring(30, L'n') + outsideBmp, L"241", L"93"));
    EXPECT_EQ(L"", Read(L"   ", L"241", L"93"));
}

TEST_F(EditorTest, SizesAreReadAsNumbersBetween10And2000Millimetres)
{
    const struct {
        const wchar_t* text;
        int32_t thousandths;
    } accepted[] = {{L"10", 10000},        {L"2000", 2000000},  {L"10.0005", 10001}, {L"10.0004", 10000},
                    {L"19.9995", 20000},   {L"101.6", 101600},  {L"93", 93000},      {L"101,6", 101000},
                    {L"241mm", 241000},    {L" 241", 241000},   {L"241 mm", 241000}, {L"1e3", 1000000},
                    {L"0x64", 100000}};
    for (const auto& a : accepted) {
        int32_t w = 0, h = 0;
        EXPECT_EQ(L"", Read(L"Size", a.text, a.text, &w, &h)) << Narrow(a.text);
        EXPECT_EQ(a.thousandths, w) << Narrow(a.text);
        EXPECT_EQ(a.thousandths, h) << Narrow(a.text);
    }
    for (const wchar_t* refused : {L"9.9999", L"2000.0001", L"abc", L"", L".", L"-", L"nan", L"inf", L"-241",
                                   L"mm241", L"宽241", L"\uFF12\uFF14\uFF11"}) {
        EXPECT_EQ(SizeNotice, Read(L"Size", refused, L"100")) << "width " << Narrow(refused);
        EXPECT_EQ(SizeNotice, Read(L"Size", L"100", refused)) << "height " << Narrow(refused);
    }
}

TEST_F(EditorTest, TextsLongerThanTheReadBuffersAreCutBeforeTheyAreExamined)
{
    // 64 units: whole it says 15 mm, but only its first 63 units ("0…01") are read.
    const std::wstring width = std::wstring(62, L'0') + L"15";
    EXPECT_EQ(SizeNotice, Read(L"Cut", width, L"100"));
    const std::wstring fits = std::wstring(61, L'0') + L"15";
    int32_t w = 0;
    EXPECT_EQ(L"", Read(L"Cut", fits, L"100", &w));
    EXPECT_EQ(15000, w);
}

TEST_F(EditorTest, SelectingAFormFillsTheFieldsAndEnablesChangesOnlyForUserForms)
{
    SelectRow(0); // built-in A4
    EXPECT_EQ(L"A4", TextOf(NameEdit));
    EXPECT_EQ(L"210.0", TextOf(WidthEdit));
    EXPECT_EQ(L"297.0", TextOf(HeightEdit));
    EXPECT_EQ(0, SelectedFormIndex());
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));

    SelectRow(1); // user form
    EXPECT_EQ(L"Thirds", TextOf(NameEdit));
    EXPECT_EQ(L"241.0", TextOf(WidthEdit));
    EXPECT_EQ(L"93.0", TextOf(HeightEdit));
    EXPECT_TRUE(IsEnabled(ModifyButton));
    EXPECT_TRUE(IsEnabled(DeleteButton));

    SelectRow(2); // printer form
    EXPECT_EQ(L"Driver label", TextOf(NameEdit));
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));

    SelectRow(3); // finer than a tenth: rounded for display
    EXPECT_EQ(L"210.0", TextOf(WidthEdit));
    EXPECT_EQ(L"297.0", TextOf(HeightEdit));
    EXPECT_TRUE(IsEnabled(ModifyButton));
}

// What the list sends when a row (or empty space, -1) is clicked.
static void ClickListAt(int row)
{
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = FormList;
    click.hdr.idFrom = IDC_FORM_LIST;
    click.hdr.code = NM_CLICK;
    click.iItem = row;
    SendMessageW(MainWindow, WM_NOTIFY, IDC_FORM_LIST, reinterpret_cast<LPARAM>(&click));
}

TEST_F(EditorTest, ClearingTheSelectionKeepsTheTextsAndDisablesChanges)
{
    SelectRow(1);
    ASSERT_TRUE(IsEnabled(DeleteButton));
    // Clicking the selected row again changes no selection, yet brings its texts back.
    TypeInto(NameEdit, L"typed over");
    ClickListAt(1);
    EXPECT_EQ(L"Thirds", TextOf(NameEdit));
    SelectRow(-1);
    // A click on empty space arrives as NM_CLICK after the list has dropped its selection.
    ClickListAt(-1);
    EXPECT_EQ(-1, SelectedFormIndex());
    EXPECT_EQ(L"Thirds", TextOf(NameEdit));
    EXPECT_EQ(L"241.0", TextOf(WidthEdit));
    EXPECT_EQ(L"93.0", TextOf(HeightEdit));
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));
}

TEST_F(EditorTest, PresetsFillTheThreeFieldsAndLeaveTheButtonsAlone)
{
    const struct {
        HWND* button;
        const wchar_t* name;
        const wchar_t* width;
        const wchar_t* height;
    } presets[] = {{&PresetHalfButton, L"二等分多联纸", L"241", L"140"},
                   {&PresetThirdButton, L"三等分多联纸", L"241", L"93"},
                   {&Preset101Button, L"Zeltra 241x101.6mm", L"241", L"101.6"},
                   {&Preset127Button, L"Zeltra 241x127mm", L"241", L"127"}};
    for (const auto& p : presets) {
        ClickButton(*p.button);
        EXPECT_EQ(p.name, TextOf(NameEdit));
        EXPECT_EQ(p.width, TextOf(WidthEdit));
        EXPECT_EQ(p.height, TextOf(HeightEdit));
        EXPECT_FALSE(IsEnabled(ModifyButton)) << "a preset must not enable modify";
    }
    // The second click of a quick pair reaches an owner-drawn button as a double click.
    TypeInto(NameEdit, L"typed over");
    SendMessageW(PresetHalfButton, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(4, 4));
    SendMessageW(PresetHalfButton, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    PumpPending();
    EXPECT_EQ(L"二等分多联纸", TextOf(NameEdit)) << "BN_DOUBLECLICKED did not apply the preset";
    SelectRow(1);
    ASSERT_TRUE(IsEnabled(ModifyButton));
    ClickButton(PresetThirdButton);
    EXPECT_EQ(L"三等分多联纸", TextOf(NameEdit));
    EXPECT_TRUE(IsEnabled(ModifyButton)) << "a preset must not disable modify";
    EXPECT_TRUE(IsEnabled(DeleteButton));
    EXPECT_EQ(1, SelectedFormIndex());
}

TEST_F(EditorTest, AfterAFailedReloadAnOldRowFillsNothing)
{
    SelectRow(-1);
    TypeInto(NameEdit, L"typed");
    UseSpoolerState(std::string(EditorState) + "fault EnumFormsW.fill 5\n");
    ClickButton(RefreshButton);
    ASSERT_TRUE(FormCatalogue.empty());
    ASSERT_EQ(4u, ListRows().size());
    SelectRow(1);
    EXPECT_EQ(-1, SelectedFormIndex());
    EXPECT_EQ(L"typed", TextOf(NameEdit));
    EXPECT_FALSE(IsEnabled(ModifyButton));
    EXPECT_FALSE(IsEnabled(DeleteButton));
}
