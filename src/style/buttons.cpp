// Owner-drawn push buttons: flat rounded boxes, blue for the primary action, red text for deleting;
// and the check box's label, drawn again in the muted colour.
#include "style/style.h"

namespace {

const int ButtonCorner = 6;
const int CaptionCapacity = 96;

// The check glyph is 13 px square at 96 DPI, themed (Windows 7 to 11, Wine's light theme) or
// not; the label starts 4 px after it, as Wine's themed box puts its own.
const int CheckGlyphSize = 13;
const int CheckLabelGap = 4;

} // namespace

ButtonColors ChooseButtonColors(ButtonLook look, UINT itemState)
{
    const bool primary = look == ButtonLook::Accent;
    const bool danger = look == ButtonLook::Danger;
    const bool pressed = (itemState & ODS_SELECTED) != 0;
    const bool disabled = (itemState & ODS_DISABLED) != 0;

    ButtonColors colors;
    colors.fill = primary ? ColorAccent : ColorPanel;
    colors.outline = primary ? ColorAccent : ColorBorder;
    colors.caption = primary ? ColorAccentText : danger ? ColorDanger : ColorText;
    if (disabled) {
        colors.fill = ColorDisabledFill;
        colors.caption = ColorDisabledText;
        colors.outline = ColorDisabledBorder;
    }
    if (pressed && primary)
        colors.fill = ColorPrimaryPressed;
    return colors;
}

void DrawOwnerButton(const DRAWITEMSTRUCT& item, ButtonLook look)
{
    wchar_t caption[CaptionCapacity] = {};
    GetWindowTextW(item.hwndItem, caption, CaptionCapacity);
    const ButtonColors colors = ChooseButtonColors(look, item.itemState);

    // Every button lies on a white panel: the corners outside the rounded outline take its colour.
    if (PanelBrush)
        FillRect(item.hDC, &item.rcItem, PanelBrush);
    FillRoundRect(item.hDC, item.rcItem, ButtonCorner, colors.fill, colors.outline);
    DrawLabel(item.hDC, caption, item.rcItem, UiFont, colors.caption, DT_VCENTER | DT_SINGLELINE | DT_CENTER);
}

RECT CheckLabelRect(const RECT& box, int dpi)
{
    return RECT{box.left + MulDiv(CheckGlyphSize, dpi, 96), box.top, box.right, box.bottom};
}

LRESULT DrawCheckLabel(const NMCUSTOMDRAW& draw)
{
    // A themed check box draws its label in the theme's text colour and ignores the one
    // WM_CTLCOLORSTATIC sets, so once it has drawn, its label is covered and drawn again.
    // The box would draw its focus rectangle after the post-paint, around its own label.
    if (draw.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYPOSTPAINT | CDRF_SKIPPOSTPAINT;
    if (draw.dwDrawStage != CDDS_POSTPAINT)
        return CDRF_DODEFAULT;
    HWND box = draw.hdr.hwndFrom;
    wchar_t caption[CaptionCapacity] = {};
    GetWindowTextW(box, caption, CaptionCapacity);
    const int dpi = GetDeviceCaps(draw.hdc, LOGPIXELSX);
    RECT label = CheckLabelRect(draw.rc, dpi);
    const int saved = SaveDC(draw.hdc);
    if (PanelBrush)
        FillRect(draw.hdc, &label, PanelBrush);
    label.left += MulDiv(CheckLabelGap, dpi, 96);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
    if (font)
        SelectObject(draw.hdc, font);
    DrawLabel(draw.hdc, caption, label, nullptr, ColorTextMuted, DT_VCENTER | DT_SINGLELINE);
    // The focus rectangle the box no longer draws, around the label drawn here.
    if ((draw.uItemState & CDIS_FOCUS) && !(SendMessageW(box, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
        RECT focus = label;
        DrawTextW(draw.hdc, caption, -1, &focus, DT_SINGLELINE | DT_CALCRECT);
        OffsetRect(&focus, 0, (label.top + label.bottom - focus.top - focus.bottom) / 2);
        InflateRect(&focus, 1, 1);
        DrawFocusRect(draw.hdc, &focus);
    }
    RestoreDC(draw.hdc, saved);
    return CDRF_DODEFAULT;
}
