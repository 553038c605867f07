// Edit boxes with a one-pixel frame that follows focus and hover, and text centred vertically.
#include "style/style.h"

#include <initializer_list>

#include "app/app.h"

HWND HoveredEdit;
WNDPROC SavedEditProc;

namespace {

const int TextInset = 7;

// The pointer entered the box: it takes the hover look from whichever box had it.
void EnterHover(HWND window)
{
    if (HoveredEdit == window)
        return;
    HWND previous = HoveredEdit;
    HoveredEdit = window;
    TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
    // The leave notice for the previous box may come late; do not let it keep the hover look till then.
    if (previous && IsWindow(previous))
        PaintEditFrame(previous);
    PaintEditFrame(window);
}

// A leave notice only clears the hover when it is still this box's.
void LeaveHover(HWND window)
{
    if (HoveredEdit == window)
        HoveredEdit = nullptr;
    PaintEditFrame(window);
}

} // namespace

COLORREF EditFrameColor(bool focused, bool hovered)
{
    if (focused)
        return ColorAccent;
    if (hovered)
        return ColorBorderHover;
    return ColorBorder;
}

RECT EditTextRect(int clientWidth, int clientHeight, int fontHeight)
{
    int top = (clientHeight - fontHeight) / 2;
    if (top < 1)
        top = 1;
    return RECT{TextInset, top, clientWidth - TextInset, top + fontHeight + 1};
}

bool IsFramedEdit(HWND window)
{
    if (!window)
        return false;
    for (HWND edit : {SearchEdit, NameEdit, WidthEdit, HeightEdit}) {
        if (window == edit)
            return true;
    }
    return false;
}

void PaintEditFrame(HWND window)
{
    if (!IsFramedEdit(window))
        return;
    HDC dc = GetWindowDC(window);
    if (!dc)
        return;
    RECT rect;
    GetWindowRect(window, &rect);
    OffsetRect(&rect, -rect.left, -rect.top);
    HBRUSH brush = CreateSolidBrush(EditFrameColor(GetFocus() == window, HoveredEdit == window));
    FrameRect(dc, &rect, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

LRESULT CALLBACK FramedEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE)
        EnterHover(window);
    else if (message == WM_MOUSELEAVE)
        LeaveHover(window);

    const LRESULT result = CallWindowProcW(SavedEditProc, window, message, wParam, lParam);

    switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_NCPAINT:
    // Wine's edit paints its own border inside the client area on every WM_PAINT; on Windows this
    // lands on pixels the frame already holds.
    case WM_PAINT:
        PaintEditFrame(window);
        break;
    default:
        break;
    }
    return result;
}

void InstallFramedEdit(HWND window)
{
    if (!window)
        return;
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FramedEditProc)));
    // All four boxes are of one class, so the first one's procedure serves them all.
    if (!SavedEditProc && previous)
        SavedEditProc = previous;
}

void CenterEditText(HWND window)
{
    if (!window || !UiFont)
        return;
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    HGDIOBJ oldFont = SelectObject(dc, UiFont);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
    RECT rect = EditTextRect(client.right, client.bottom, metrics.tmHeight);
    SendMessageW(window, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    InvalidateRect(window, nullptr, TRUE);
}

void CenterAllEdits()
{
    for (HWND edit : {SearchEdit, NameEdit, WidthEdit, HeightEdit})
        CenterEditText(edit);
}
