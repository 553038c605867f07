// What the scenarios share: the office the tool is tried in, and checks of the boxes it raises.
#pragma once

#include <string>
#include <vector>

#include "driver.h"

namespace e2e {

extern const char AppTitle[];   // the caption of every notice
extern const char AddedText[];  // the notice after a successful add

// Three printers (the default is the second), one form of each kind and three user forms.
//   row order in the table: A4 (built-in), 发货单, DP-750 Label (driver), 收据, Zeltra 241x279.4mm
std::string OfficeState(const std::string& extraLines = "", bool administrator = true);
// The form lines of OfficeState, as the spooler writes them back.
std::vector<std::string> OfficeForms();
// What the list shows of OfficeState with the custom-only filter on (as at start-up) and off.
std::vector<std::string> OfficeUserRows();
std::vector<std::string> OfficeAllRows();

// A notice: the tool's title as caption, the information icon, OK only, owned by the main window.
void ExpectNotice(const Box& box, const std::string& text);
// A failed spooler call: "<action>失败：\r\n" and the system text, caption "<action>失败", error icon.
void ExpectFailure(const Box& box, const std::string& action, DWORD code);
// The one box an action raised (an empty box after a failure that is already reported).
Box OnlyBox(const std::vector<Box>& boxes);

// Each scenario has a state file of its own, named after the test, and a tool process.
class Scenario : public ::testing::Test {
protected:
    Scenario();
    SpoolerState state;
    Tool tool;
};

} // namespace e2e
