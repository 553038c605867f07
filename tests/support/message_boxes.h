// The message boxes a program raises on this thread: recorded as they come up and answered.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

enum class BoxIcon { None, Information, Error, Warning, Question };
struct RecordedBox {
    HWND owner = nullptr;
    bool ownerVisible = false; // whether the owner was on screen when the box came up
    std::wstring caption;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
    std::vector<int> buttons; // IDOK, IDYES, IDNO, ... in id order
};

// The buttons a box shows among IDOK..IDNO, in id order; works on another process's box too.
std::vector<int> VisibleButtons(HWND box);

// The button id to press for a box, decided when it comes up.
using BoxPolicy = std::function<int(const RecordedBox&)>;

// Installs a CBT hook on this thread that records every box and answers it; false when the
// hook could not be installed. Without a policy each box takes the next scripted answer
// (ExpectBox) and a box with none fails the test; with one, the policy answers every box.
bool StartBoxRecorder(BoxPolicy policy = nullptr);
void StopBoxRecorder();
// The next box gets this answer.
void ExpectBox(int answer = IDOK);
// Boxes recorded since the last take.
std::vector<RecordedBox> TakeBoxes();
// Drops scripted answers that no box used (after an action that may or may not raise one).
void ForgetBoxAnswers();
// Scripted answers that no box used (a box that should have come but did not).
size_t UnusedBoxAnswers();
