#include "scenario.h"

namespace e2e {

const char AppTitle[] = "Zeltra · 纸张管理";
const char AddedText[] = "纸张已添加。\r\n\r\n请关闭浏览器打印窗口后重新打开，检查“纸张尺寸”列表。";

std::vector<std::string> OfficeForms()
{
    return {FormLine("builtin", 210000, 297000, L"A4"),
            FormLine("user", 241000, 93000, L"发货单 241x93"),
            FormLine("printer", 100000, 150000, L"DP-750 Label 100x150"),
            FormLine("user", 241000, 101600, L"收据 241x101.6mm"),
            FormLine("user", 241000, 279400, L"Zeltra 241x279.4mm")};
}

std::string OfficeState(const std::string& extraLines, bool administrator)
{
    std::string text = std::string("admin ") + (administrator ? "yes" : "no") +
                       "\nstandard-forms no\n"
                       "printer \"Zeltra DP-750 针式打印机\" port \"LPT1:\" driver \"Zeltra DP-750\"\n"
                       "printer \"Office Laser\" port \"USB001\" driver \"Office Laser PCL6\"\n"
                       "connection \"\\\\\\\\print-server\\\\Warehouse Label\" port \"IP_10.0.0.25\"\n"
                       "default \"Office Laser\"\n";
    for (const std::string& line : OfficeForms())
        text += line + "\n";
    return text + extraLines;
}

std::vector<std::string> OfficeUserRows()
{
    return {"发货单 241x93 | 241.0 × 93.0 mm", "收据 241x101.6mm | 241.0 × 101.6 mm",
            "Zeltra 241x279.4mm | 241.0 × 279.4 mm"};
}

std::vector<std::string> OfficeAllRows()
{
    return {"A4 | 210.0 × 297.0 mm", "发货单 241x93 | 241.0 × 93.0 mm", "DP-750 Label 100x150 | 100.0 × 150.0 mm",
            "收据 241x101.6mm | 241.0 × 101.6 mm", "Zeltra 241x279.4mm | 241.0 × 279.4 mm"};
}

void ExpectNotice(const Box& box, const std::string& text)
{
    EXPECT_EQ(text, box.text) << "notice text";
    EXPECT_EQ(AppTitle, box.caption) << "notice caption";
    EXPECT_EQ(BoxIcon::Information, box.icon) << "notice icon";
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons) << "notice buttons";
    EXPECT_TRUE(box.ownedByMainWindow) << "the notice \"" << box.text << "\" is not owned by the main window";
}

void ExpectFailure(const Box& box, const std::string& action, DWORD code)
{
    EXPECT_EQ(action + "失败：\r\n" + SystemText(code), box.text) << "failure text";
    EXPECT_EQ(action + "失败", box.caption) << "failure caption";
    EXPECT_EQ(BoxIcon::Error, box.icon) << "failure icon";
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons) << "failure buttons";
    EXPECT_TRUE(box.ownedByMainWindow) << "the failure box is not owned by the main window";
}

Box OnlyBox(const std::vector<Box>& boxes)
{
    EXPECT_EQ(1u, boxes.size()) << "message boxes raised by the action";
    return boxes.size() == 1 ? boxes[0] : Box();
}

Scenario::Scenario() : state(CurrentTestName()) {}

} // namespace e2e
