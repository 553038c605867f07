// The main window: start-up, the sixteen controls, their layout and the routing of messages.
#include "app/app.h"

#include <commctrl.h>
#include <windowsx.h>

#include <iterator>

#include "app/desktop_shell.h"
#include "forms/forms.h"
#include "spooler/spooler.h"
#include "style/style.h"

const wchar_t AppTitle[] = L"Zeltra \u00B7 纸张管理";
const wchar_t MainWindowClass[] = L"VornPaperManagerV10";

HINSTANCE AppInstance;
HWND MainWindow;

HWND PrinterCombo;
HWND RefreshButton;
HWND CustomOnlyCheck;
HWND SearchEdit;
HWND FormList;
HWND StatusText;
HWND PresetHalfButton;
HWND PresetThirdButton;
HWND Preset101Button;
HWND Preset127Button;
HWND NameEdit;
HWND WidthEdit;
HWND HeightEdit;
HWND DeleteButton;
HWND ModifyButton;
HWND AddButton;

namespace {

// The outer size at 96 DPI; the controls and the face are laid out in 96-DPI pixels for it.
const int MainWindowWidth = 916;
const int MainWindowHeight = 620;
const DWORD MainWindowStyle = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// The controls in creation order, with the rectangle LayoutControls gives each.
struct ChildControl {
    HWND* handle;
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int x, y, width, height;
};

// No WS_BORDER: the boxes draw their own frame in the non-client area their framing reserves.
const DWORD EditStyle = ES_AUTOHSCROLL;

const ChildControl ChildControls[] = {
    {&PrinterCombo, IDC_PRINTER_COMBO, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 100, 84, 650, 28},
    {&RefreshButton, IDC_REFRESH_BUTTON, L"Button", L"刷新", BS_OWNERDRAW, 764, 82, 92, 32},
    {&CustomOnlyCheck, IDC_CUSTOM_ONLY_CHECK, L"Button", L"仅显示自定义纸张", BS_AUTOCHECKBOX, 40, 184, 170, 24},
    {&SearchEdit, IDC_SEARCH_EDIT, L"EDIT", L"", EditStyle, 348, 184, 226, 24},
    {&FormList, IDC_FORM_LIST, WC_LISTVIEWW, L"", WS_BORDER | LVS_REPORT | LVS_SINGLESEL, 40, 220, 534, 292},
    {&StatusText, IDC_STATUS_TEXT, L"STATIC", L"", 0, 40, 520, 500, 22},
    {&PresetHalfButton, IDC_PRESET_HALF, L"Button", L"二等分 241\u00D7140", BS_OWNERDRAW, 626, 226, 112, 32},
    {&PresetThirdButton, IDC_PRESET_THIRD, L"Button", L"三等分 241\u00D793", BS_OWNERDRAW, 746, 226, 112, 32},
    {&Preset101Button, IDC_PRESET_101, L"Button", L"241\u00D7101.6", BS_OWNERDRAW, 626, 266, 112, 32},
    {&Preset127Button, IDC_PRESET_127, L"Button", L"241\u00D7127", BS_OWNERDRAW, 746, 266, 112, 32},
    {&NameEdit, IDC_NAME_EDIT, L"EDIT", L"Zeltra 241x140mm", EditStyle, 682, 350, 176, 24},
    {&WidthEdit, IDC_WIDTH_EDIT, L"EDIT", L"241", EditStyle, 682, 392, 136, 24},
    {&HeightEdit, IDC_HEIGHT_EDIT, L"EDIT", L"140", EditStyle, 682, 434, 136, 24},
    {&DeleteButton, IDC_DELETE_BUTTON, L"Button", L"删除", BS_OWNERDRAW, 626, 500, 68, 34},
    {&ModifyButton, IDC_MODIFY_BUTTON, L"Button", L"修改", BS_OWNERDRAW, 702, 500, 68, 34},
    {&AddButton, IDC_ADD_BUTTON, L"Button", L"添加", BS_OWNERDRAW, 778, 500, 80, 34},
};

// The edit boxes that draw their own frame and keep their text centred.
HWND* const FramedEdits[] = {&SearchEdit, &NameEdit, &WidthEdit, &HeightEdit};

const UINT LabelFormat = DT_VCENTER | DT_SINGLELINE;
const UINT RightFormat = LabelFormat | DT_RIGHT;

const POINT LogoAt = {28, 22};

// The control that had the focus when the window was last deactivated (a message box it owns
// deactivates it too); null until then.
HWND FocusBeforeDeactivation;

// The face painted under the controls, in paint order: the panels before the labels on them.
const FaceItem FaceItems[] = {
    {AppTitle, {74, 20, 330, 58}, &UiBoldFont, ColorText, LabelFormat},
    {VendorHost, LinkRect, &UiFont, ColorTextMuted, RightFormat},
    {nullptr, {24, 72, 876, 124}, nullptr, 0, 0},
    {L"打印机", {40, 84, 96, 108}, &UiFont, ColorText, LabelFormat},
    {nullptr, {24, 140, 594, 558}, nullptr, 0, 0},
    {nullptr, {610, 140, 876, 558}, nullptr, 0, 0},
    {L"纸张规格", {40, 150, 140, 180}, &UiBoldFont, ColorText, LabelFormat},
    {L"搜索", {300, 184, 342, 208}, &UiFont, ColorTextMuted, RightFormat},
    {L"纸张设置", {626, 150, 740, 180}, &UiBoldFont, ColorText, LabelFormat},
    {L"快速规格", {626, 196, 740, 220}, &UiFont, ColorTextMuted, LabelFormat},
    {L"名称", {626, 350, 676, 374}, &UiFont, ColorText, LabelFormat},
    {L"宽度", {626, 392, 676, 416}, &UiFont, ColorText, LabelFormat},
    {L"高度", {626, 434, 676, 458}, &UiFont, ColorText, LabelFormat},
    {L"mm", {824, 392, 852, 416}, &UiFont, ColorTextMuted, LabelFormat},
    {L"mm", {824, 434, 852, 458}, &UiFont, ColorTextMuted, LabelFormat},
};

// The add button is the primary action; deleting is marked in red.
ButtonLook ButtonLookOf(UINT id)
{
    if (id == IDC_ADD_BUTTON)
        return ButtonLook::Accent;
    if (id == IDC_DELETE_BUTTON)
        return ButtonLook::Danger;
    return ButtonLook::Normal;
}

void CenterAllEdits()
{
    for (HWND* edit : FramedEdits)
        CenterEditText(*edit);
}

void AddListColumn(int index, const wchar_t* text, int width)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(text);
    SendMessageW(FormList, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

// What a few controls need right after they exist.
void SetUpControl(int id)
{
    switch (id) {
    case IDC_CUSTOM_ONLY_CHECK:
        SendMessageW(CustomOnlyCheck, BM_SETCHECK, BST_CHECKED, 0);
        break;
    case IDC_SEARCH_EDIT:
        // wParam 1: the cue stays visible while the box has the focus.
        SendMessageW(SearchEdit, EM_SETCUEBANNER, 1, reinterpret_cast<LPARAM>(L"输入纸张名称"));
        break;
    case IDC_FORM_LIST:
        SendMessageW(FormList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
        AddListColumn(0, L"纸张名称", 320);
        AddListColumn(1, L"尺寸", 190);
        break;
    default:
        break;
    }
}

LRESULT OnCreate(HWND window)
{
    MainWindow = window;
    FocusBeforeDeactivation = nullptr;
    CreateStyleObjects(AppInstance, IDB_LOGO);
    for (const ChildControl& control : ChildControls) {
        *control.handle = CreateChild(control.className, control.text, control.style, 0, 0, 0, 0, control.id);
        SetUpControl(control.id);
    }
    for (HWND* edit : FramedEdits)
        InstallFramedEdit(*edit);
    LayoutControls();
    LoadPrinters();
    LoadForms();
    UpdateEditButtons();
    return 0;
}

LRESULT OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintMainWindowFace(dc);
    EndPaint(window, &paint);
    return 0;
}

// Left to DefWindowProc, activation puts the focus on the window itself, where no key reaches a
// control (Shift+F10 and the menu key do nothing): it goes back to the control that had it, or
// to the form list when that one cannot take it.
LRESULT OnActivate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus))
            FocusBeforeDeactivation = focus;
    } else if (!HIWORD(wParam)) { // minimised windows keep no focus
        HWND target = FocusBeforeDeactivation;
        if (!target || !IsChild(window, target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
            target = FormList;
        SetFocus(target);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OnSetCursor(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(window, &point);
    if (IsOverLink(point.x, point.y)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OnNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_FORM_LIST && (header->code == LVN_ITEMCHANGED || header->code == NM_CLICK)) {
        ShowSelectedForm();
        CenterAllEdits();
        UpdateEditButtons();
        return 0;
    }
    if (header->idFrom == IDC_CUSTOM_ONLY_CHECK && header->code == NM_CUSTOMDRAW)
        return DrawCheckLabel(*reinterpret_cast<const NMCUSTOMDRAW*>(lParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

// The command table: id first, then the notification code where it matters.
LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDC_PRINTER_COMBO && code == CBN_SELCHANGE) {
        LoadForms();
        UpdateEditButtons();
    } else if ((id == IDC_CUSTOM_ONLY_CHECK && code == BN_CLICKED) || (id == IDC_SEARCH_EDIT && code == EN_CHANGE)) {
        RebuildFormList();
        UpdateEditButtons();
    } else if (id >= IDC_PRESET_HALF && id <= IDC_PRESET_127) {
        ApplyPreset(id);
        CenterAllEdits();
    } else if (id == IDC_REFRESH_BUTTON) {
        LoadPrinters();
        LoadForms();
        UpdateEditButtons();
    } else if (id == IDC_ADD_BUTTON) {
        AddCustomForm();
        UpdateEditButtons();
    } else if (id == IDC_MODIFY_BUTTON) {
        ModifyCustomForm();
        UpdateEditButtons();
    } else if (id == IDC_DELETE_BUTTON) {
        DeleteCustomForm();
        UpdateEditButtons();
    } else {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return 0;
}

} // namespace

HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style,
                 int x, int y, int width, int height, int id)
{
    HWND child = CreateWindowExW(0, className, text, style | WS_CHILD | WS_VISIBLE, x, y, width, height,
                                 MainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AppInstance, nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont), TRUE);
    return child;
}

void PaintMainWindowFace(HDC dc)
{
    RECT client;
    GetClientRect(MainWindow, &client);
    PaintWindowFace(dc, client, LogoAt, FaceItems, std::size(FaceItems));
}

void LayoutControls()
{
    for (const ChildControl& control : ChildControls)
        MoveWindow(*control.handle, control.x, control.y, control.width, control.height, TRUE);
    CenterAllEdits();
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        ReleaseStyleObjects();
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        return OnPaint(window);
    case WM_ERASEBKGND:
        return 1;
    case WM_ACTIVATE:
        return OnActivate(window, message, wParam, lParam);
    case WM_SETCURSOR:
        return OnSetCursor(window, message, wParam, lParam);
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_BUTTON)
            break;
        DrawOwnerButton(*item, ButtonLookOf(item->CtlID));
        return TRUE;
    }
    case WM_NOTIFY:
        return OnNotify(window, message, wParam, lParam);
    case WM_COMMAND:
        return OnCommand(window, message, wParam, lParam);
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != FormList)
            break;
        ShowFormMenu(lParam);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(ControlColors(message, reinterpret_cast<HDC>(wParam)));
    case WM_LBUTTONUP:
        if (IsOverLink(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) {
            OpenVendorLink();
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateMainWindow(HINSTANCE instance)
{
    SetProcessDPIAware();
    AppInstance = instance;

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = MainWindowClass;
    RegisterClassExW(&windowClass);

    const SIZE size = MainWindowSize(SystemFunction<AdjustForDpiProc>(L"user32.dll", "AdjustWindowRectExForDpi"));
    return CreateWindowExW(0, MainWindowClass, AppTitle, MainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, size.cx,
                           size.cy, nullptr, nullptr, instance, nullptr);
}

SIZE MainWindowSize(AdjustForDpiProc adjustForDpi)
{
    const int dpi = SystemDpi();
    RECT atDpi = {};
    RECT at96 = {};
    if (adjustForDpi) {
        adjustForDpi(&atDpi, MainWindowStyle, FALSE, 0, static_cast<UINT>(dpi));
        adjustForDpi(&at96, MainWindowStyle, FALSE, 0, 96);
    } else {
        // Windows 7 to 10 1511 tell a DPI-aware process the frame and caption at the system DPI
        // only. Scaled back and rounded down, they come out at most as large as the real 96-DPI
        // ones, as the frame's lines and the caption's padding grow more slowly than the DPI if
        // at all: the client area is then at least its 96-DPI size, a few pixels larger at most.
        AdjustWindowRectEx(&atDpi, MainWindowStyle, FALSE, 0);
        at96.right = (atDpi.right - atDpi.left) * 96 / dpi;
        at96.bottom = (atDpi.bottom - atDpi.top) * 96 / dpi;
    }
    const int grownWidth = (atDpi.right - atDpi.left) - (at96.right - at96.left);
    const int grownHeight = (atDpi.bottom - atDpi.top) - (at96.bottom - at96.top);
    return SIZE{MainWindowWidth + grownWidth, MainWindowHeight + grownHeight};
}

namespace {

// Rounded corners where the desktop window manager offers them (Windows 11); harmless elsewhere.
void RoundWindowCorners(HWND window)
{
    typedef HRESULT(WINAPI * SetAttributeProc)(HWND, DWORD, LPCVOID, DWORD);
    const auto setAttribute = SystemFunction<SetAttributeProc>(L"dwmapi.dll", "DwmSetWindowAttribute");
    const DWORD windowCornerPreference = 33; // DWMWA_WINDOW_CORNER_PREFERENCE
    const DWORD roundCorners = 2;            // DWMWCP_ROUND
    if (setAttribute)
        setAttribute(window, windowCornerPreference, &roundCorners, sizeof(roundCorners));
}

} // namespace

int RunZeltraPaper(HINSTANCE instance, int showCommand)
{
    RestrictDllSearch();
    std::wstring missing;
    if (!LoadSpoolerFunctions(&missing)) {
        MessageBoxW(nullptr, SpoolerMissingText(missing).c_str(), AppTitle, MB_OK | MB_ICONERROR);
        return 2;
    }

    HWND window = CreateMainWindow(instance);
    if (!window)
        return 1;
    RoundWindowCorners(window);

    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(static_cast<DWORD>(msg.wParam));
}
