// Owner-drawn push buttons: flat rounded boxes, blue for the primary action, red text for deleting.
#include "style/style.h"

#include "resources/resource.h"

namespace {

const int ButtonCorner = 6;
const int CaptionCapacity = 96;

} // namespace

ButtonColors ChooseButtonColors(UINT controlId, UINT itemState)
{
    const bool primary = controlId == IDC_ADD_BUTTON;
    const bool danger = controlId == IDC_DELETE_BUTTON;
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

void DrawOwnerButton(const DRAWITEMSTRUCT& item)
{
    wchar_t caption[CaptionCapacity] = {};
    GetWindowTextW(item.hwndItem, caption, CaptionCapacity);
    const ButtonColors colors = ChooseButtonColors(item.CtlID, item.itemState);

    // Every button lies on a white panel: the corners outside the rounded outline take its colour.
    if (PanelBrush)
        FillRect(item.hDC, &item.rcItem, PanelBrush);
    FillRoundRect(item.hDC, item.rcItem, ButtonCorner, colors.fill, colors.outline);
    DrawLabel(item.hDC, caption, item.rcItem, UiFont, colors.caption, DT_VCENTER | DT_SINGLELINE | DT_CENTER);
}
