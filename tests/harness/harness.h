// Test harness: drives the real main window the way a user's actions reach it,
// records the message boxes it raises, and sets up the stand-in spooler.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// --- Message loop ---
// Dispatches everything queued for this thread now.
void PumpPending();
// Pumps messages until condition() holds or timeoutMs passes; false on timeout.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// --- Text conversions ---
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

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
// "printer \"Name\"" etc. quoting for state lines (escapes quotes, backslashes, controls, \uXXXX).
std::string Quote(const std::wstring& text);
// The system's own text for an error code, as the product must show it.
std::wstring SystemText(DWORD code);

// --- Message boxes ---
enum class BoxIcon { None, Information, Error, Warning, Question };
struct RecordedBox {
    HWND owner = nullptr;
    bool ownerVisible = false; // whether the owner was on screen when the box came up
    std::wstring caption;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
    std::vector<int> buttons; // IDOK, IDYES, IDNO, ... in id order
};
// Installs a CBT hook on this thread that records every box and answers it.
void StartBoxRecorder();
void StopBoxRecorder();
// The next box gets this answer. A box with no scripted answer fails the test.
void ExpectBox(int answer = IDOK);
// Boxes recorded since the last take.
std::vector<RecordedBox> TakeBoxes();
// Drops scripted answers that no box used (after an action that may or may not raise one).
void ForgetBoxAnswers();
// Scripted answers that no box used (a box that should have come but did not).
size_t UnusedBoxAnswers();

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
