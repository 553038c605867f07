// Test harness: drives the real main window the way a user's actions reach it,
// records the message boxes it raises, and sets up the stand-in spooler.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/message_boxes.h"
#include "support/pump.h"
#include "support/state_lines.h"
#include "support/text.h"

// The lines of a text, without their '\n'.
std::vector<std::string> SplitLines(const std::string& text);

// --- The stand-in spooler ---
// Points the stand-in at a state file of this test's own and writes the given state.
void UseSpoolerState(const std::string& stateText);
std::string SpoolerState();
// The stand-in's call log since its counters were last reset, one line per call.
std::string SpoolerLog();
// The form lines of the persisted state, in order ("form ..." lines only).
std::vector<std::string> PersistedFormLines();

// --- The main window ---
// Creates the real main window through the product's own start-up (not shown).
HWND OpenMainWindow();
// Shows it and lets it paint.
void ShowMainWindow();
// Destroys it and removes the WM_QUIT its destruction posts.
void CloseMainWindow();

// --- User actions ---
void ClickButton(HWND button);
void SetCheck(HWND checkBox, bool checked); // clicks it when the state differs
void TypeInto(HWND edit, const std::wstring& text);
// Selects a row through the list view itself (-1: clears the selection).
void SelectRow(int row);
// Picks a drop-down entry and sends the CBN_SELCHANGE the drop-down would send.
void ChoosePrinter(int index);

// --- Reading what the window shows ---
std::wstring TextOf(HWND window);
struct ListRow {
    std::wstring name;
    std::wstring size;
    LPARAM param = 0;
};
std::vector<ListRow> ListRows();
std::vector<std::wstring> PrinterEntries();
int SelectedPrinterIndex();
bool IsEnabled(HWND window);

// A fixture for tests on the real main window: records boxes, checks at the end that
// every box was expected and that no printer handle is left open.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
