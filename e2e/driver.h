// Drives the shipped ZeltraPaper.exe as a separate process: starts it on a state file of
// the stand-in spooler, works its controls the way a user's actions reach them, answers
// the message boxes it raises, and reads back what the window shows.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/main_window.h"
#include "support/state_lines.h"
#include "support/text.h"

namespace e2e {

// What the system says for an error code, as the tool must show it, in UTF-8 like every text
// the driver reads; a text the tool never shows when the system has none.
std::string SystemText(DWORD code);

enum class BoxIcon { None, Information, Error, Warning, Unrecognised };
std::ostream& operator<<(std::ostream& out, BoxIcon icon);

// A message box as the driver found it on screen.
struct Box {
    std::string caption;
    std::string text;
    BoxIcon icon = BoxIcon::None;
    std::vector<int> buttons;          // visible ones among IDOK, IDCANCEL, ..., IDNO, in id order
    bool ownedByMainWindow = false;
    bool mainWindowShown = false;      // whether the main window was on screen when it came up
};

// One scenario's own state file for the stand-in spooler.
class SpoolerState {
public:
    explicit SpoolerState(const std::string& name);
    const std::wstring& Path() const { return path_; }
    // Replaces the file in one move, under the lock the spooler takes, as another client would.
    void Write(const std::string& text) const;
    std::string Read() const;
    // The "form ..." lines, in order.
    std::vector<std::string> FormLines() const;

private:
    std::wstring path_;
};

// The running tool. Every action waits until the tool has finished handling it; the
// message boxes raised meanwhile are answered with the given button ids in turn and
// returned. A box beyond those answers, or fewer boxes than answers, fails the test.
class Tool {
public:
    Tool() = default;
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;
    // Ends a tool the scenario left running (after a failure) and frees the handles.
    ~Tool();

    // Starts ZeltraPaper.exe on this state and waits until its main window is shown.
    // showCommand, when given, is the show command the tool is started with (as a shortcut sets it).
    std::vector<Box> Start(const SpoolerState& state, std::vector<int> answers = {}, int showCommand = -1);
    // Runs another copy of the exe (a folder of the scenario's own) instead of the built one.
    void UseExe(const std::wstring& path) { exe_ = path; }
    // Asks the main window to close and checks that the process ends with code 0.
    void Close();
    bool Running() const;

    // --- What a user does ---
    std::vector<Box> Press(int id, std::vector<int> answers = {});
    void Type(int id, const std::wstring& text);
    void SelectRow(int row); // -1 clears the selection
    std::vector<Box> ChoosePrinter(int index, std::vector<int> answers = {});
    // Waits (bounded) until the condition holds; `what` says what never happened on a timeout.
    void WaitUntil(const std::function<bool()>& condition, const std::string& what);

    // --- What the window shows ---
    HWND MainWindow() const { return main_; }
    HWND Child(int id) const { return GetDlgItem(main_, id); }
    std::string Text(int id) const;
    bool Enabled(int id) const;
    bool Checked(int id) const;
    // "name | size" per row, top to bottom.
    std::vector<std::string> Rows() const;
    int SelectedRow() const;
    std::vector<std::string> Printers() const;
    int PrinterSelection() const;

private:
    // Pumps this thread and answers boxes until finished() holds; `what` names the wait.
    std::vector<Box> Attend(const std::function<bool()>& finished, std::vector<int> answers, const std::string& what,
                            DWORD timeoutMs);
    // Sends a message that may raise boxes and waits until its handler has returned.
    std::vector<Box> SendAndAttend(HWND target, UINT message, WPARAM wParam, LPARAM lParam,
                                   std::vector<int> answers, const std::string& what);
    HWND FindBox() const;
    Box ReadBox(HWND box) const;
    void Answer(HWND box, int id);
    void ExpectNoBox(const std::string& after);
    bool Exited() const;
    bool Launch(const SpoolerState& state, int showCommand);

    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HWND main_ = nullptr;
    void* remote_ = nullptr; // a page in the tool's memory for list-view records
    std::wstring exe_;
};

// A screen capture of a window's rectangle, with reads in the window's client coordinates.
class Capture {
public:
    explicit Capture(HWND window);
    COLORREF ClientPixel(int x, int y) const;
    bool SaveBmp(const std::wstring& path) const;
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_ = 0;
    int height_ = 0;
    POINT clientOffset_ = {0, 0};   // the client origin inside the capture
    std::vector<BYTE> bits_;        // 32-bit BGRX rows, top-down
};

std::string ColorText(COLORREF color);

} // namespace e2e
