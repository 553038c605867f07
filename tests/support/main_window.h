// What a program outside the tool needs to find its main window and controls.
#pragma once

#include <windows.h>

// The control ids, from the product's own header (macros only, no other includes).
#include "../../src/resources/resource.h"

// The main window's class, for finding the window of another process.
const wchar_t MainWindowClassName[] = L"VornPaperManagerV10";
