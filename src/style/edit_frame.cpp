// Edit boxes with a one-pixel frame that follows focus and hover, and their text inset and centred.
#include "style/style.h"

namespace {

const int FrameWidth = 1;
const int TextInset = 7;
const UINT_PTR FrameSubclassId = 1;

// mingw's import library has no GetWindowSubclass (comctl32's ordinal 411), so a box is asked
// for its state instead: only the framing subclass answers this message.
const UINT StateQuery = RegisterWindowMessageW(L"ZeltraFramedEditState");

// What a framed box remembers of itself; the focus is read from GetFocus.
struct FrameState {
    bool hovered;
};

// Null for a window that is not a framed box. The state is only used on its box's own thread,
// and a window of another thread is not sent to, so a hung one cannot block here.
FrameState* FrameStateOf(HWND window)
{
    if (!window || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
        return nullptr;
    return reinterpret_cast<FrameState*>(SendMessageW(window, StateQuery, 0, 0));
}

// The pointer entered the box: it takes the hover look from whichever box of its parent had it.
void EnterHover(HWND window, FrameState& state)
{
    if (state.hovered)
        return;
    state.hovered = true;
    TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
    // The leave notice for the box that had it may come late; do not let it keep the hover look till then.
    for (HWND sibling = GetWindow(window, GW_HWNDFIRST); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        FrameState* other = sibling != window ? FrameStateOf(sibling) : nullptr;
        if (other && other->hovered) {
            other->hovered = false;
            PaintEditFrame(sibling);
        }
    }
    PaintEditFrame(window);
}

// A leave notice clears only this box's hover: a box entered since keeps its own.
void LeaveHover(HWND window, FrameState& state)
{
    state.hovered = false;
    PaintEditFrame(window);
}

// One line of the box's own font is as tall as the edit makes its text row.
int LineHeight(HWND window)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    HDC dc = GetDC(window);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    if (oldFont)
        SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
    return metrics.tmHeight;
}

RECT TextRowOf(HWND window, const RECT& box)
{
    return EditTextRect(box.right - box.left, box.bottom - box.top, LineHeight(window));
}

// A single-line edit draws its text at the top of its client area and ignores EM_SETRECT, so the
// client area is made the text row itself: frame and the spare height become non-client.
LRESULT CalcTextRow(HWND window, LPARAM lParam)
{
    RECT* rect = reinterpret_cast<RECT*>(lParam); // NCCALCSIZE_PARAMS starts with the same rectangle
    RECT row = TextRowOf(window, *rect);
    OffsetRect(&row, rect->left, rect->top);
    *rect = row;
    return 0;
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

RECT EditTextRect(int boxWidth, int boxHeight, int lineHeight)
{
    const int inner = boxHeight - 2 * FrameWidth;
    if (lineHeight >= inner)
        return RECT{FrameWidth, FrameWidth, boxWidth - FrameWidth, boxHeight - FrameWidth};
    // An odd spare pixel goes above: ink sits high in its line, the descent is mostly empty.
    const int top = FrameWidth + (inner - lineHeight + 1) / 2;
    return RECT{FrameWidth, top, boxWidth - FrameWidth, top + lineHeight};
}

bool IsFramedEdit(HWND window)
{
    return FrameStateOf(window) != nullptr;
}

bool IsEditHovered(HWND window)
{
    const FrameState* state = FrameStateOf(window);
    return state && state->hovered;
}

void PaintEditFrame(HWND window)
{
    const FrameState* state = FrameStateOf(window);
    if (!state)
        return;
    HDC dc = GetWindowDC(window);
    if (!dc)
        return;
    RECT box;
    GetWindowRect(window, &box);
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    OffsetRect(&client, -box.left, -box.top);
    OffsetRect(&box, -box.left, -box.top);
    // The padding above and below the text row, inside the frame.
    const RECT padding[] = {{FrameWidth, FrameWidth, box.right - FrameWidth, client.top},
                            {FrameWidth, client.bottom, box.right - FrameWidth, box.bottom - FrameWidth}};
    HBRUSH panel = CreateSolidBrush(ColorPanel);
    for (const RECT& band : padding)
        FillRect(dc, &band, panel);
    DeleteObject(panel);
    HBRUSH frame = CreateSolidBrush(EditFrameColor(GetFocus() == window, state->hovered));
    FrameRect(dc, &box, frame);
    DeleteObject(frame);
    ReleaseDC(window, dc);
}

namespace {

LRESULT CALLBACK FramedEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                DWORD_PTR refData)
{
    FrameState& state = *reinterpret_cast<FrameState*>(refData);
    if (message == StateQuery)
        return static_cast<LRESULT>(refData);
    switch (message) {
    case WM_NCCALCSIZE:
        return CalcTextRow(window, lParam);
    case WM_NCHITTEST:
        // The padding belongs to the box: a click there puts the caret in, the pointer there is hovering.
        return HTCLIENT;
    case WM_MOUSEMOVE:
        EnterHover(window, state);
        break;
    case WM_MOUSELEAVE:
        LeaveHover(window, state);
        break;
    case WM_NCDESTROY:
        // The last message the box gets: its state goes with it.
        RemoveWindowSubclass(window, FramedEditProc, id);
        delete &state;
        return DefSubclassProc(window, message, wParam, lParam);
    default:
        break;
    }

    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);

    switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_NCPAINT:
        PaintEditFrame(window);
        break;
    case WM_SETFONT:
        // A new font brings the edit's default margins and another line height.
        CenterEditText(window);
        break;
    default:
        break;
    }
    return result;
}

} // namespace

void InstallFramedEdit(HWND window)
{
    if (!window || IsFramedEdit(window))
        return;
    FrameState* state = new FrameState{false};
    if (!SetWindowSubclass(window, FramedEditProc, FrameSubclassId, reinterpret_cast<DWORD_PTR>(state)))
        delete state;
}

void CenterEditText(HWND window)
{
    if (!window)
        return;
    const LRESULT margins = MAKELONG(TextInset, TextInset);
    if (SendMessageW(window, EM_GETMARGINS, 0, 0) != margins)
        SendMessageW(window, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
    // Only when the text row is not where it belongs: the frame change repaints the whole box.
    RECT box;
    GetWindowRect(window, &box);
    RECT client;
    GetClientRect(window, &client);
    const RECT row = TextRowOf(window, box);
    if (client.right != row.right - row.left || client.bottom != row.bottom - row.top)
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
