// Application shell: the main window, its controls and the routing of messages.
#pragma once

#include <windows.h>

#include "resources/resource.h"

extern const wchar_t AppTitle[];        // "Zeltra · 纸张管理"
extern const wchar_t MainWindowClass[]; // window class name

extern HINSTANCE AppInstance;
extern HWND MainWindow;

// The sixteen child controls, one handle per control id.
extern HWND PrinterCombo;     // IDC_PRINTER_COMBO
extern HWND RefreshButton;    // IDC_REFRESH_BUTTON
extern HWND CustomOnlyCheck;  // IDC_CUSTOM_ONLY_CHECK
extern HWND SearchEdit;       // IDC_SEARCH_EDIT
extern HWND FormList;         // IDC_FORM_LIST
extern HWND StatusText;       // IDC_STATUS_TEXT
extern HWND PresetHalfButton; // IDC_PRESET_HALF
extern HWND PresetThirdButton;// IDC_PRESET_THIRD
extern HWND Preset101Button;  // IDC_PRESET_101
extern HWND Preset127Button;  // IDC_PRESET_127
extern HWND NameEdit;         // IDC_NAME_EDIT
extern HWND WidthEdit;        // IDC_WIDTH_EDIT
extern HWND HeightEdit;       // IDC_HEIGHT_EDIT
extern HWND DeleteButton;     // IDC_DELETE_BUTTON
extern HWND ModifyButton;     // IDC_MODIFY_BUTTON
extern HWND AddButton;        // IDC_ADD_BUTTON

// AdjustWindowRectExForDpi's type: user32 has it from Windows 10 1607 on, so it is looked up.
typedef BOOL(WINAPI* AdjustForDpiProc)(RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi);
// The main window's outer size at the system DPI: its client area as large as at 96 DPI on this
// system (916 x 620 outside), the frame and caption as large as this DPI makes them. Without
// adjustForDpi (null before Windows 10 1607) the 96-DPI frame and caption are scaled back from the
// system DPI's.
SIZE MainWindowSize(AdjustForDpiProc adjustForDpi);

// Start-up steps 1 to 5: DPI awareness, common controls, class, window.
// Returns the created (not yet shown) main window, or NULL.
HWND CreateMainWindow(HINSTANCE instance);
// The whole life of the process after wWinMain: create, show, loop. Returns the exit code.
int RunZeltraPaper(HINSTANCE instance, int showCommand);

HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style,
                 int x, int y, int width, int height, int id);
void LayoutControls();
// The page, logo, panels and labels under the controls, over the main window's client area.
void PaintMainWindowFace(HDC dc);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
