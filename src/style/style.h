// Visual style: palette, fonts, painted window face, owner-drawn buttons, framed edits.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Palette (COLORREF, 0x00BBGGRR).
constexpr COLORREF ColorPageBackground = RGB(243, 243, 243);
constexpr COLORREF ColorPanel = RGB(255, 255, 255);
constexpr COLORREF ColorText = RGB(32, 32, 32);
constexpr COLORREF ColorTextMuted = RGB(96, 96, 96);
constexpr COLORREF ColorBorder = RGB(224, 224, 224);
constexpr COLORREF ColorAccent = RGB(0, 103, 192);
constexpr COLORREF ColorBorderHover = RGB(180, 180, 180);

// Button colours outside the palette.
constexpr COLORREF ColorAccentText = RGB(255, 255, 255);
constexpr COLORREF ColorPrimaryPressed = RGB(0, 82, 153);
constexpr COLORREF ColorDanger = RGB(196, 43, 28);
constexpr COLORREF ColorDisabledFill = RGB(248, 248, 248);
constexpr COLORREF ColorDisabledText = RGB(160, 160, 160);
constexpr COLORREF ColorDisabledBorder = RGB(232, 232, 232);

// The five objects that live from WM_CREATE to WM_DESTROY.
extern HBRUSH PageBrush;
extern HBRUSH PanelBrush;
extern HFONT UiFont;
extern HFONT UiBoldFont;
extern HBITMAP LogoBitmap;

extern const RECT LinkRect;
extern const wchar_t VendorHost[]; // link text

// --- Palette, fonts and face (face.cpp) ---
// One thing painted on the window face: a panel when text is null, a label otherwise.
struct FaceItem {
    const wchar_t* text;
    RECT rect;
    HFONT* font; // read when painting: the fonts exist only between CreateStyleObjects and its release
    COLORREF color;
    UINT format;
};
// The DPI the screen has for this process (the system DPI once it is DPI-aware); 96 when unknown.
int SystemDpi();
// The fonts are the message font's face and weight at its 96-DPI height, like every rectangle.
// The logo is bitmap resource logoId of the given module.
void CreateStyleObjects(HINSTANCE instance, int logoId);
void ReleaseStyleObjects();
void FillRoundRect(HDC dc, const RECT& rect, int corner, COLORREF fillColor, COLORREF borderColor);
void DrawLabel(HDC dc, const wchar_t* text, const RECT& rect, HFONT font, COLORREF textColor, UINT format);
// The page colour over the client rectangle, the logo with its top left at logo, then the items in order.
void PaintWindowFace(HDC dc, const RECT& client, POINT logo, const FaceItem* items, size_t count);
HBRUSH ControlColors(UINT message, HDC dc);
bool IsOverLink(int x, int y);

// --- Owner-drawn buttons (buttons.cpp) ---
struct ButtonColors {
    COLORREF fill;
    COLORREF outline;
    COLORREF caption;
};
// The caller says which look a button has; pressed and disabled come from its item state.
enum class ButtonLook {
    Normal,
    Accent, // the primary action: blue
    Danger, // a deleting action: red caption
};
ButtonColors ChooseButtonColors(ButtonLook look, UINT itemState);
void DrawOwnerButton(const DRAWITEMSTRUCT& item, ButtonLook look);
// Where the check box's label goes: right of the glyph, in a box of the given client rectangle.
RECT CheckLabelRect(const RECT& box, int dpi);
// The check box's NM_CUSTOMDRAW: its own glyph, the label in the muted colour whatever the theme.
LRESULT DrawCheckLabel(const NMCUSTOMDRAW& draw);

// --- Framed edit boxes (edit_frame.cpp) ---
COLORREF EditFrameColor(bool focused, bool hovered);
// The client area a box of the given size keeps for its text row (box coordinates): inside the
// frame, centred vertically; the rest is non-client frame and padding.
RECT EditTextRect(int boxWidth, int boxHeight, int lineHeight);
// Frames the box through a subclass of its own, which keeps the box's hover state until the box
// is destroyed. Entering a box takes the hover look from any other framed box of the same parent.
void InstallFramedEdit(HWND window);
// True only for a window of this thread that InstallFramedEdit framed; false for null.
bool IsFramedEdit(HWND window);
// Whether the framed box shows the hover look; false for any other window.
bool IsEditHovered(HWND window);
void PaintEditFrame(HWND window);
// Sets the box's text inset and, when its text row moved, recomputes its frame.
void CenterEditText(HWND window);
