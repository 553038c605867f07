// Thousands of seeded random user actions on the real main window, with spooler faults
// injected before some of them. After every action the list, the selection, the printer
// handles and the spooler's persisted table are checked against a model the test keeps.
// Replay a failure with ZELTRA_SOAK_SEED (and ZELTRA_SOAK_ACTIONS) as printed.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "forms/forms.h"
#include "harness/harness.h"
#include "standin.h"

namespace {

const wchar_t Title[] = L"Zeltra \u00B7 纸张管理";
const wchar_t NameNotice[] = L"请输入纸张名称。";
const wchar_t LongNameNotice[] = L"纸张名称不能超过 31 个字符。";
const wchar_t SizeNotice[] = L"宽度和高度请输入 10～2000 mm 之间的数字。";
const wchar_t DuplicateNotice[] = L"已经存在同名纸张。请选中它后使用\u201C修改\u201D。";
const wchar_t NoSelectionNotice[] = L"请先选中一个用户自定义纸张。";
const wchar_t ProtectedModifyNotice[] = L"系统内置或打印机纸型受保护，不能修改。";
const wchar_t ProtectedDeleteNotice[] = L"系统内置或打印机纸型受保护，不能删除。";
const wchar_t RenameNotice[] = L"测试版修改尺寸时不允许重命名。需要改名时请删除后重新添加。";
const wchar_t AddedNotice[] = L"纸张已添加。\r\n\r\n请关闭浏览器打印窗口后重新打开，检查\u201C纸张尺寸\u201D列表。";
const wchar_t ModifiedNotice[] = L"纸张尺寸已修改。";
const wchar_t DeletedNotice[] = L"纸张已删除。";
const wchar_t NoPrinterNotice[] = L"请先选择打印机。";
const wchar_t ConfirmLead[] = L"确定删除自定义纸张？\r\n\r\n";

// Every code a fault or the stand-in's own checks can produce in this soak; never 0, which
// is what a code read after ClosePrinter would be.
const DWORD KnownCodes[] = {5, 80, 87, 122, 1722, 1801, 1902, 1903};

// A soak cannot script each box ahead: the recorder answers a question with this, any
// other box with its first button.
int YesNoAnswer = IDNO;

int SoakAnswer(const RecordedBox& box)
{
    const bool yesNo = std::find(box.buttons.begin(), box.buttons.end(), IDYES) != box.buttons.end();
    return yesNo ? YesNoAnswer : box.buttons.empty() ? IDOK : box.buttons.front();
}

// --- The model of the spooler's table ---

struct ModelForm {
    std::wstring name;
    uint32_t flags = 0;
    int32_t width = 0;
    int32_t height = 0;
};

wchar_t Fold(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring Folded(std::wstring text)
{
    for (wchar_t& c : text)
        c = Fold(c);
    return text;
}

bool SameName(const std::wstring& a, const std::wstring& b) { return Folded(a) == Folded(b); }

const char* KindOf(uint32_t flags) { return flags == 0 ? "user" : flags == 1 ? "builtin" : "printer"; }

int FindModel(const std::vector<ModelForm>& model, const std::wstring& name)
{
    for (size_t i = 0; i < model.size(); ++i)
        if (SameName(model[i].name, name))
            return static_cast<int>(i);
    return -1;
}

// Millimetres with one decimal for sizes that are whole tenths, so no rounding is involved.
std::wstring Tenths(int32_t thousandths)
{
    const long long v = thousandths;
    if (v % 100 != 0)
        return L"(not a whole tenth: " + std::to_wstring(v) + L")";
    const long long tenths = (v < 0 ? -v : v) / 100;
    return (v < 0 ? L"-" : L"") + std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10);
}

std::wstring SizeTextOf(int32_t width, int32_t height) { return Tenths(width) + L" \u00D7 " + Tenths(height) + L" mm"; }

// What a size text the soak types (or the editor shows) means in thousandths; false when
// the product must refuse it. Only texts of the shapes used here are understood.
bool ExpectedThousandths(const std::wstring& text, int32_t* value)
{
    long long v = 0;
    if (text == L"1e3") {
        v = 1000000;
    } else {
        size_t i = 0;
        bool negative = false;
        if (i < text.size() && text[i] == L'-')
            negative = true, ++i;
        size_t digits = 0;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
            v = v * 10 + (text[i++] - L'0'), ++digits;
        v *= 1000;
        if (i < text.size() && text[i] == L'.') {
            ++i;
            long long scale = 100;
            while (i < text.size() && text[i] >= L'0' && text[i] <= L'9' && scale > 0)
                v += (text[i++] - L'0') * scale, scale /= 10, ++digits;
        }
        if (digits == 0 || i != text.size())
            return false;
        if (negative)
            v = -v;
    }
    if (v < 10000 || v > 2000000)
        return false;
    *value = static_cast<int32_t>(v);
    return true;
}

// --- The soak ---

const char StartState[] =
    "admin yes\n"
    "standard-forms no\n"
    "printer \"Soak Printer\"\n"
    "printer \"Soak Label \xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA\"\n"
    "connection \"\\\\\\\\soak-server\\\\Soak Share\"\n"
    "default \"Soak Label \xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA\"\n";

const ModelForm StartForms[] = {
    {L"A4", 1, 210000, 297000},
    {L"A5", 1, 148000, 210000},
    {L"Driver Fanfold", 2, 241000, 305000},
    {L"二等分多联纸", 0, 241000, 140000},
    {L"Soak Thirds", 0, 241000, 93000},
    {L"Receipt 收据", 0, 241000, 101600},
    {L"Label", 0, 100000, 150000},
};

const wchar_t* const Names[] = {
    L"Soak A", L"Soak B", L"Soak C", L"Soak D", L"soak a", L"SOAK THIRDS", L"A4", L"a5", L"driver fanfold",
    L"收据 Soak", L"\uFF33\uFF4F\uFF41\uFF4B", L"", L"  ", L"Label", L"LABEL", L"Zeltra 241x127mm",
    L"Soak thirty-one units long name", // 31 units
    L"Soak thirty-two units long names", // 32 units
    L"Soak name of forty code units, too long!",
};

const wchar_t* const Sizes[] = {L"241", L"93", L"101.6", L"127", L"140", L"10", L"2000", L"1e3", L"99.9",
                                L"9.9", L"2000.1", L"abc", L"", L"-5", L"0", L"150.5"};

const wchar_t* const Searches[] = {L"", L"", L"soak", L"SOAK", L"a", L"4", L"纸", L"label", L" ", L"zzz",
                                   L"\uFF33", L"r", L"Receipt 收据"};

struct Preset {
    HWND* button;
    const wchar_t* name;
    const wchar_t* width;
    const wchar_t* height;
};
const Preset Presets[] = {{&PresetHalfButton, L"二等分多联纸", L"241", L"140"},
                          {&PresetThirdButton, L"三等分多联纸", L"241", L"93"},
                          {&Preset101Button, L"Zeltra 241x101.6mm", L"241", L"101.6"},
                          {&Preset127Button, L"Zeltra 241x127mm", L"241", L"127"}};

unsigned long EnvNumber(const char* name, unsigned long fallback)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        return fallback;
    return std::strtoul(value, nullptr, 10);
}

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartBoxRecorder(SoakAnswer));
    }
    void TearDown() override
    {
        CloseMainWindow();
        EXPECT_EQ(0, StandInOpenHandles()) << "a printer handle was left open";
        StopBoxRecorder();
    }

    std::mt19937 random;
    std::vector<ModelForm> model;
    std::vector<ListRow> previousRows;
    std::wstring previousStatus;
    std::deque<std::string> recent; // the last actions, for the failure message
    int successes[3] = {};
    int spoolerRefusals = 0;
    int staleStates = 0;
    int faultsSet = 0;

    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); }
    bool Chance(int percent) { return static_cast<int>(Pick(100)) < percent; }

    std::vector<std::string> ModelLines() const
    {
        std::vector<std::string> lines;
        for (const ModelForm& f : model)
            lines.push_back(FormLine(KindOf(f.flags), f.width, f.height, f.name));
        return lines;
    }

    void WriteState(const std::string& faults)
    {
        std::string state = StartState;
        for (const std::string& line : ModelLines())
            state += line + "\n";
        ASSERT_TRUE(StandInSetState((state + faults).c_str()));
    }

    // Removes faults that did not fire, so each fault belongs to the action it was set for.
    // Reports whether a grow fault was still waiting.
    bool ClearFaults(bool* growWaiting)
    {
        std::istringstream in(SpoolerState());
        std::string line, kept;
        bool any = false;
        *growWaiting = false;
        while (std::getline(in, line)) {
            if (line.rfind("fault ", 0) == 0) {
                any = true;
                if (line.find("EnumFormsW.grow") != std::string::npos)
                    *growWaiting = true;
                continue;
            }
            kept += line + "\n";
        }
        if (any)
            StandInSetState(kept.c_str());
        return any;
    }

    std::string RandomFault()
    {
        static const char* const faults[] = {
            "fault OpenPrinterW 0x8 5 once\n",
            "fault OpenPrinterW 0x8 1801 once\n",
            "fault OpenPrinterW 0xF000C 5 once\n",
            "fault OpenPrinterW 0xF000C 5 once\nfault OpenPrinterW null 1722 once\n",
            "fault EnumFormsW.size 5 once\n",
            "fault EnumFormsW.size 0 once\n",
            "fault EnumFormsW.fill 1722 once\n",
            "fault EnumFormsW.grow\n",
            "fault AddFormW 1903 once\n",
            "fault SetFormW 87 once\n",
            "fault DeleteFormW 5 once\n",
        };
        return faults[Pick(sizeof(faults) / sizeof(faults[0]))];
    }

    bool IsStale() const { return FormCatalogue.empty() && ListView_GetItemCount(FormList) > 0; }
    int SelectedRow() const
    {
        return static_cast<int>(SendMessageW(FormList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }

    // The form the user has selected, as the screen shows it; false when the row stands for nothing.
    bool SelectedShownForm(ModelForm* form) const
    {
        const int row = SelectedRow();
        if (row < 0 || IsStale() || static_cast<size_t>(row) >= VisibleRows.size())
            return false;
        const uint64_t index = VisibleRows[static_cast<size_t>(row)];
        if (index >= FormCatalogue.size())
            return false;
        const PaperForm& p = FormCatalogue[index];
        *form = ModelForm{p.name, p.flags, p.width, p.height};
        return true;
    }

    static bool IsErrorBox(const RecordedBox& box, const std::wstring& lead, const std::wstring& caption)
    {
        if (box.caption != caption || box.text.compare(0, lead.size(), lead) != 0)
            return false;
        for (DWORD code : KnownCodes)
            if (box.text == lead + SystemText(code))
                return true;
        return false;
    }
    static bool IsOpenFailure(const RecordedBox& box) { return IsErrorBox(box, L"无法打开打印机：\r\n", L"读取失败"); }
    static bool IsChangeFailure(const RecordedBox& box, const std::wstring& action)
    {
        return IsErrorBox(box, action + L"失败：\r\n", action + L"失败");
    }
    static bool IsNotice(const RecordedBox& box, const wchar_t* text) { return box.caption == Title && box.text == text; }

    // Every box must be one the product can raise, owned by the main window.
    void CheckBoxesAreKnown(const std::vector<RecordedBox>& boxes)
    {
        static const wchar_t* const notices[] = {NameNotice,    LongNameNotice,        SizeNotice,
                                                 DuplicateNotice, NoSelectionNotice,   ProtectedModifyNotice,
                                                 ProtectedDeleteNotice, RenameNotice,  AddedNotice,
                                                 ModifiedNotice, DeletedNotice,        NoPrinterNotice};
        for (const RecordedBox& box : boxes) {
            EXPECT_EQ(MainWindow, box.owner) << "box \"" << Narrow(box.text) << "\" not owned by the main window";
            bool known = IsOpenFailure(box) || IsChangeFailure(box, L"添加") || IsChangeFailure(box, L"修改") ||
                         IsChangeFailure(box, L"删除") ||
                         (box.caption == L"确认删除" && box.text.compare(0, wcslen(ConfirmLead), ConfirmLead) == 0);
            for (const wchar_t* notice : notices)
                known = known || IsNotice(box, notice);
            EXPECT_TRUE(known) << "unknown box, caption \"" << Narrow(box.caption) << "\", text \"" << Narrow(box.text)
                               << "\"";
        }
    }

    // What must hold after every action.
    void CheckInvariants()
    {
        const std::vector<ListRow> rows = ListRows();
        ASSERT_EQ(VisibleRows.size(), rows.size()) << "rows and VisibleRows disagree in number";
        const bool stale = FormCatalogue.empty() && !rows.empty();
        if (stale) {
            ++staleStates;
            // A failed load leaves the previous rows; they stand for nothing now.
            ASSERT_EQ(previousRows.size(), rows.size()) << "stale rows changed";
            for (size_t r = 0; r < rows.size(); ++r) {
                EXPECT_EQ(previousRows[r].name, rows[r].name) << "stale row " << r;
                EXPECT_EQ(previousRows[r].size, rows[r].size) << "stale row " << r;
            }
            EXPECT_EQ(-1, SelectedFormIndex()) << "a stale row counts as a selection";
        } else {
            const bool customOnly = SendMessageW(CustomOnlyCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
            const std::wstring needle = Folded(TextOf(SearchEdit).substr(0, 255));
            std::vector<uint64_t> expected;
            for (size_t i = 0; i < FormCatalogue.size(); ++i) {
                const PaperForm& f = FormCatalogue[i];
                if (customOnly && (f.flags & 3) != 0)
                    continue;
                if (!needle.empty() && Folded(f.name).find(needle) == std::wstring::npos)
                    continue;
                expected.push_back(i);
            }
            EXPECT_EQ(expected, VisibleRows) << "the rows are not the filtered catalogue";
            for (size_t r = 0; r < rows.size(); ++r) {
                ASSERT_LT(VisibleRows[r], FormCatalogue.size()) << "row " << r;
                if (r > 0) {
                    EXPECT_LT(VisibleRows[r - 1], VisibleRows[r]) << "row " << r;
                }
                const PaperForm& f = FormCatalogue[VisibleRows[r]];
                EXPECT_EQ(f.name, rows[r].name) << "row " << r;
                EXPECT_EQ(SizeTextOf(f.width, f.height), rows[r].size) << "row " << r;
                EXPECT_EQ(static_cast<LPARAM>(VisibleRows[r]), rows[r].param) << "row " << r;
            }
            if (!FormCatalogue.empty()) {
                // A catalogue that was read at all is the spooler's table as the model has it.
                ASSERT_EQ(model.size(), FormCatalogue.size()) << "catalogue and table differ in size";
                for (size_t i = 0; i < model.size(); ++i) {
                    EXPECT_EQ(model[i].name, FormCatalogue[i].name) << "catalogue entry " << i;
                    EXPECT_EQ(model[i].flags, FormCatalogue[i].flags) << "catalogue entry " << i;
                    EXPECT_EQ(model[i].width, FormCatalogue[i].width) << "catalogue entry " << i;
                    EXPECT_EQ(model[i].height, FormCatalogue[i].height) << "catalogue entry " << i;
                }
            }
        }

        // The status line: the counts of the last rebuild, or the reason the last load failed.
        const std::wstring status = TextOf(StatusText);
        const std::wstring summary = L"显示 " + std::to_wstring(rows.size()) + L" 项，共读取 " +
                                     std::to_wstring(FormCatalogue.size()) + L" 个纸张规格。";
        bool statusOk = status == summary || (FormCatalogue.empty() && status == previousStatus);
        for (DWORD code : KnownCodes)
            statusOk = statusOk || (FormCatalogue.empty() && status == L"读取纸张失败：" + SystemText(code));
        EXPECT_TRUE(statusOk) << "status \"" << Narrow(status) << "\" with " << rows.size() << " rows and "
                              << FormCatalogue.size() << " forms";

        // Modify and delete are enabled together, and exactly for a current user form.
        const bool modify = IsEnabled(ModifyButton);
        EXPECT_EQ(modify, IsEnabled(DeleteButton)) << "modify and delete disagree";
        ModelForm shown;
        const bool userSelected = SelectedShownForm(&shown) && (shown.flags & 3) == 0;
        EXPECT_EQ(userSelected, modify) << "modify/delete enabled " << modify << " with selected row " << SelectedRow()
                                        << (stale ? " (stale rows)" : "");
        if (modify) {
            const int index = SelectedFormIndex();
            ASSERT_GE(index, 0) << "modify enabled without a selection";
            EXPECT_EQ(0u, FormCatalogue[static_cast<size_t>(index)].flags & 3) << "modify enabled on a protected form";
        }

        EXPECT_EQ(0, StandInOpenHandles()) << "a printer handle outlived the action";
        EXPECT_LE(StandInMaxOpenHandles(), 1) << "two printer handles were open at once";
        EXPECT_EQ(ModelLines(), PersistedFormLines()) << "the spooler's table is not what the reported changes made";

        previousRows = rows;
        previousStatus = status;
    }

    // One change the user asked for: add (0), modify (1) or delete (2). Checks what the
    // boxes say against what the product had to decide, and applies reported successes.
    void Change(int kind, std::string* description)
    {
        ModelForm selected;
        const bool haveSelection = SelectedShownForm(&selected);
        const std::wstring name = TextOf(NameEdit);
        int32_t width = 0, height = 0;
        const bool sizesOk = ExpectedThousandths(TextOf(WidthEdit), &width) &&
                             ExpectedThousandths(TextOf(HeightEdit), &height);
        const wchar_t* validation = name.empty() ? NameNotice : name.size() > 31 ? LongNameNotice
                                                            : !sizesOk           ? SizeNotice
                                                                                 : nullptr;
        HWND button = kind == 0 ? AddButton : kind == 1 ? ModifyButton : DeleteButton;
        const int id = kind == 0 ? IDC_ADD_BUTTON : kind == 1 ? IDC_MODIFY_BUTTON : IDC_DELETE_BUTTON;
        YesNoAnswer = Chance(50) ? IDYES : IDNO;
        *description += kind == 0 ? "add" : kind == 1 ? "modify" : "delete";
        *description += " name=\"" + Narrow(name) + "\" w=\"" + Narrow(TextOf(WidthEdit)) + "\" h=\"" +
                        Narrow(TextOf(HeightEdit)) + "\"";
        if (kind == 2)
            *description += YesNoAnswer == IDYES ? " answer=yes" : " answer=no";
        if (IsEnabled(button)) {
            ClickButton(button);
        } else {
            // A disabled button cannot be clicked; a script can still send its command.
            *description += " (command sent to a disabled button)";
            SendMessageW(MainWindow, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
            PumpPending();
        }
        const std::vector<RecordedBox> boxes = TakeBoxes();
        CheckBoxesAreKnown(boxes);
        ASSERT_FALSE(boxes.empty()) << "a change ended without telling the user anything";

        // The refusals that need no spooler: exactly one notice.
        const wchar_t* refusal = nullptr;
        if (kind == 0) {
            const bool duplicate = !FormCatalogue.empty() && FindModel(model, name) >= 0;
            refusal = validation ? validation : duplicate ? DuplicateNotice : nullptr;
        } else if (!haveSelection) {
            refusal = NoSelectionNotice;
        } else if ((selected.flags & 3) != 0) {
            refusal = kind == 1 ? ProtectedModifyNotice : ProtectedDeleteNotice;
        } else if (kind == 1) {
            refusal = validation ? validation : !SameName(name, selected.name) ? RenameNotice : nullptr;
        }
        if (refusal) {
            ASSERT_EQ(1u, boxes.size()) << "a refusal came with other boxes";
            EXPECT_EQ(refusal, boxes[0].text);
            return;
        }
        size_t first = 0;
        if (kind == 2) {
            EXPECT_EQ(std::wstring(ConfirmLead) + selected.name, boxes[0].text) << "the question names another form";
            EXPECT_EQ(L"确认删除", boxes[0].caption);
            if (YesNoAnswer != IDYES) {
                EXPECT_EQ(1u, boxes.size()) << "answering no was not the end";
                return;
            }
            first = 1;
            ASSERT_LT(first, boxes.size()) << "answering yes led to nothing";
        }

        // To the spooler: it ends in a success notice or in one failure box; a reload after a
        // success may add its own open-failure box before the notice.
        const wchar_t* success = kind == 0 ? AddedNotice : kind == 1 ? ModifiedNotice : DeletedNotice;
        const RecordedBox& last = boxes.back();
        if (IsNotice(last, success)) {
            EXPECT_LE(boxes.size() - first, 2u);
            if (boxes.size() - first == 2) {
                EXPECT_TRUE(IsOpenFailure(boxes[first])) << "before the success: " << Narrow(boxes[first].text);
            }
            if (kind == 0) {
                EXPECT_EQ(-1, FindModel(model, name)) << "a duplicate was added";
                EXPECT_TRUE(validation == nullptr) << "an invalid form was added";
                model.push_back(ModelForm{name, 0, width, height});
            } else {
                const int at = FindModel(model, selected.name);
                ASSERT_GE(at, 0) << "the changed form is not in the table";
                if (kind == 1) {
                    EXPECT_TRUE(SameName(name, selected.name)) << "a rename was allowed";
                    model[static_cast<size_t>(at)] = ModelForm{name, 0, width, height};
                } else {
                    model.erase(model.begin() + at);
                }
            }
            *description += " -> success";
            ++successes[kind];
        } else {
            EXPECT_EQ(1u, boxes.size() - first) << "a failed change raised several boxes";
            const std::wstring action = kind == 0 ? L"添加" : kind == 1 ? L"修改" : L"删除";
            EXPECT_TRUE(IsOpenFailure(last) || IsChangeFailure(last, action))
                << "the change ended with \"" << Narrow(last.text) << "\"";
            *description += " -> refused: " + Narrow(last.text.substr(0, 40));
            ++spoolerRefusals;
        }
    }

    // Picks and performs one action; returns what it did.
    std::string Act()
    {
        std::string d;
        const int rows = ListView_GetItemCount(FormList);
        const size_t roll = Pick(100);
        if (roll < 18) {
            if (rows == 0)
                return "select (no rows)";
            const int row = static_cast<int>(Pick(static_cast<size_t>(rows)));
            d = "select row " + std::to_string(row);
            const bool already = SelectedRow() == row;
            SelectRow(row);
            ModelForm shown;
            if (!already && SelectedShownForm(&shown)) {
                // A newly selected form fills the editor; re-selecting the same row changes nothing.
                EXPECT_EQ(shown.name, TextOf(NameEdit));
                EXPECT_EQ(Tenths(shown.width), TextOf(WidthEdit));
                EXPECT_EQ(Tenths(shown.height), TextOf(HeightEdit));
            }
        } else if (roll < 23) {
            d = "clear selection";
            SelectRow(-1);
        } else if (roll < 32) {
            const std::wstring search = Chance(10) ? std::wstring(300, L'a') : Searches[Pick(std::size(Searches))];
            d = "search \"" + Narrow(search.substr(0, 20)) + "\"";
            TypeInto(SearchEdit, search);
        } else if (roll < 37) {
            d = "toggle custom-only";
            ClickButton(CustomOnlyCheck);
        } else if (roll < 43) {
            const Preset& p = Presets[Pick(std::size(Presets))];
            d = "preset " + Narrow(p.name);
            ClickButton(*p.button);
            EXPECT_EQ(p.name, TextOf(NameEdit));
            EXPECT_EQ(p.width, TextOf(WidthEdit));
            EXPECT_EQ(p.height, TextOf(HeightEdit));
        } else if (roll < 58) {
            d = "type";
            if (Chance(50)) {
                std::wstring name = Names[Pick(std::size(Names))];
                ModelForm shown;
                if (Chance(20) && SelectedShownForm(&shown)) {
                    name = shown.name; // the stored name with its case changed
                    for (wchar_t& c : name)
                        c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
                }
                d += " name=\"" + Narrow(name) + "\"";
                TypeInto(NameEdit, name);
            }
            if (Chance(70)) {
                const wchar_t* w = Sizes[Pick(std::size(Sizes))];
                d += " w=\"" + Narrow(w) + "\"";
                TypeInto(WidthEdit, w);
            }
            if (Chance(70)) {
                const wchar_t* h = Sizes[Pick(std::size(Sizes))];
                d += " h=\"" + Narrow(h) + "\"";
                TypeInto(HeightEdit, h);
            }
        } else if (roll < 69) {
            if (Chance(50)) {
                // A user who fills in a new form before pressing add.
                const wchar_t* fresh[] = {L"Soak A", L"Soak B", L"Soak C", L"Soak D", L"Soak E", L"Soak F"};
                TypeInto(NameEdit, fresh[Pick(std::size(fresh))]);
                TypeInto(WidthEdit, Sizes[Pick(8)]);
                TypeInto(HeightEdit, Sizes[Pick(8)]);
                d = "fill, then ";
            }
            Change(0, &d);
        } else if (roll < 89) {
            const int kind = roll < 79 ? 1 : 2;
            if (Chance(60)) {
                // A user who picks a form of their own, maybe resizes it, then presses the button.
                std::vector<int> userRows;
                for (size_t r = 0; !IsStale() && r < VisibleRows.size(); ++r)
                    if (VisibleRows[r] < FormCatalogue.size() && (FormCatalogue[VisibleRows[r]].flags & 3) == 0)
                        userRows.push_back(static_cast<int>(r));
                if (!userRows.empty()) {
                    const int row = userRows[Pick(userRows.size())];
                    SelectRow(row);
                    d = "select row " + std::to_string(row) + ", ";
                    if (kind == 1 && Chance(70)) {
                        TypeInto(Chance(50) ? WidthEdit : HeightEdit, Sizes[Pick(std::size(Sizes))]);
                        d += "resize, ";
                    }
                }
            }
            Change(kind, &d);
        } else if (roll < 95) {
            const int count = static_cast<int>(SendMessageW(PrinterCombo, CB_GETCOUNT, 0, 0));
            if (count <= 0)
                return "choose printer (none listed)";
            const int index = static_cast<int>(Pick(static_cast<size_t>(count)));
            d = "choose printer " + std::to_string(index);
            ChoosePrinter(index);
        } else {
            d = "refresh";
            ClickButton(RefreshButton);
        }
        return d;
    }
};

TEST_F(SoakTest, RandomActionsWithFaultsKeepListSelectionHandlesAndTableConsistent)
{
    const unsigned long seed = EnvNumber("ZELTRA_SOAK_SEED", 20241209);
    // About 17 ms an action under Wine, most of it in message boxes: 2,000 stay well inside a minute.
    const unsigned long actions = EnvNumber("ZELTRA_SOAK_ACTIONS", 2000);
    std::printf("soak: seed %lu, %lu actions (replay with ZELTRA_SOAK_SEED=%lu ZELTRA_SOAK_ACTIONS=%lu)\n", seed,
                actions, seed, actions);
    std::fflush(stdout);
    random.seed(seed);
    const ULONGLONG start = GetTickCount64();

    model.assign(std::begin(StartForms), std::end(StartForms));
    UseSpoolerState("");
    WriteState("");
    ASSERT_NE(nullptr, OpenMainWindow());
    ShowMainWindow();
    ASSERT_TRUE(TakeBoxes().empty());
    previousRows = ListRows();
    previousStatus = TextOf(StatusText);
    CheckInvariants();

    unsigned long done = 0;
    for (; done < actions && !HasFailure(); ++done) {
        std::string fault;
        if (Chance(25)) {
            fault = RandomFault();
            ++faultsSet;
            std::istringstream in(SpoolerState());
            std::string line, state;
            while (std::getline(in, line))
                state += line + "\n";
            ASSERT_TRUE(StandInSetState((state + fault).c_str()));
        }
        StandInResetCounters();
        std::string description;
        {
            SCOPED_TRACE("soak seed " + std::to_string(seed) + ", action " + std::to_string(done + 1) + " of " +
                         std::to_string(actions));
            description = Act();
            if (!fault.empty()) {
                std::string shown = fault;
                std::replace(shown.begin(), shown.end(), '\n', ';');
                description = "[" + shown + "] " + description;
            }
            // Boxes of actions that are not changes: only a printer that cannot be opened.
            std::vector<RecordedBox> boxes = TakeBoxes();
            CheckBoxesAreKnown(boxes);
            EXPECT_LE(boxes.size(), 1u) << description;
            for (const RecordedBox& box : boxes) {
                EXPECT_TRUE(IsOpenFailure(box)) << description << ": box \"" << Narrow(box.text) << "\"";
            }

            // A grow fault that fired stands for another client's form.
            bool growWaiting = false;
            ClearFaults(&growWaiting);
            if (fault.find("EnumFormsW.grow") != std::string::npos && !growWaiting) {
                std::wstring other = L"Other client form";
                for (int n = 2; FindModel(model, other) >= 0; ++n)
                    other = L"Other client form " + std::to_wstring(n);
                model.push_back(ModelForm{other, 0, 100000, 150000});
            }
            CheckInvariants();
        }
        recent.push_back(std::to_string(done + 1) + ": " + description);
        if (recent.size() > 25)
            recent.pop_front();
    }
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    std::printf("soak: %lu actions in %.1f s; %d faults set; %d adds, %d modifies, %d deletes succeeded; "
                "%d changes refused by the spooler; %d checks on stale rows; %zu forms at the end\n",
                done, seconds, faultsSet, successes[0], successes[1], successes[2], spoolerRefusals, staleStates,
                model.size());
    if (HasFailure()) {
        std::string log;
        for (const std::string& line : recent)
            log += "  " + line + "\n";
        ADD_FAILURE() << "soak failed at action " << done << " of " << actions << " with seed " << seed
                      << " (ZELTRA_SOAK_SEED=" << seed << "); the last actions:\n"
                      << log;
    }
}

} // namespace
