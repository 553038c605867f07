// The painted window face: page, logo, panels and labels, plus the control colours and the link.
#include "style/style.h"

HBRUSH PageBrush;
HBRUSH PanelBrush;
HFONT UiFont;
HFONT UiBoldFont;
HBITMAP LogoBitmap;

const RECT LinkRect = {700, 20, 862, 58};
const wchar_t VendorHost[] = L"zeltra.example";

namespace {

const int LogoSize = 34;
const int PanelCorner = 8;
const int SemiBoldWeight = 600;

void DrawLogo(HDC dc, POINT at)
{
    if (!LogoBitmap)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = SelectObject(memory, LogoBitmap);
    BitBlt(dc, at.x, at.y, LogoSize, LogoSize, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteDC(memory);
}

void DeleteIfSet(HGDIOBJ object)
{
    if (object)
        DeleteObject(object);
}

} // namespace

int SystemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void CreateStyleObjects(HINSTANCE instance, int logoId)
{
    PageBrush = CreateSolidBrush(ColorPageBackground);
    PanelBrush = CreateSolidBrush(ColorPanel);

    // On failure the metrics stay zero and the fonts come from the all-zero LOGFONT.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    // The system gives the message font at its DPI, but every rectangle of the window is in fixed
    // 96-DPI pixels: at the height it has at 96 DPI, each text keeps the room it was laid out in.
    LOGFONTW font = metrics.lfMessageFont;
    const int dpi = SystemDpi();
    font.lfHeight = MulDiv(font.lfHeight, 96, dpi);
    font.lfWidth = MulDiv(font.lfWidth, 96, dpi);
    UiFont = CreateFontIndirectW(&font);
    font.lfWeight = SemiBoldWeight;
    UiBoldFont = CreateFontIndirectW(&font);

    LogoBitmap = static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(logoId), IMAGE_BITMAP, LogoSize, LogoSize, LR_CREATEDIBSECTION));
}

void ReleaseStyleObjects()
{
    // Cleared as well, so a later window in the same process starts from nothing.
    DeleteIfSet(UiFont);
    UiFont = nullptr;
    DeleteIfSet(UiBoldFont);
    UiBoldFont = nullptr;
    DeleteIfSet(PageBrush);
    PageBrush = nullptr;
    DeleteIfSet(PanelBrush);
    PanelBrush = nullptr;
    DeleteIfSet(LogoBitmap);
    LogoBitmap = nullptr;
}

void FillRoundRect(HDC dc, const RECT& rect, int corner, COLORREF fillColor, COLORREF borderColor)
{
    HBRUSH brush = CreateSolidBrush(fillColor);
    HPEN pen = CreatePen(PS_SOLID, 1, borderColor);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

void DrawLabel(HDC dc, const wchar_t* text, const RECT& rect, HFONT font, COLORREF textColor, UINT format)
{
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColor);
    RECT box = rect;
    DrawTextW(dc, text, -1, &box, format);
    if (oldFont)
        SelectObject(dc, oldFont);
}

void PaintWindowFace(HDC dc, const RECT& client, POINT logo, const FaceItem* items, size_t count)
{
    FillRect(dc, &client, PageBrush);
    DrawLogo(dc, logo);
    for (size_t i = 0; i < count; ++i) {
        const FaceItem& item = items[i];
        if (item.text)
            DrawLabel(dc, item.text, item.rect, *item.font, item.color, item.format);
        else
            FillRoundRect(dc, item.rect, PanelCorner, ColorPanel, ColorBorder);
    }
}

HBRUSH ControlColors(UINT message, HDC dc)
{
    // Every edit and static sits on a white panel; statics read as secondary text.
    if (message == WM_CTLCOLOREDIT) {
        SetTextColor(dc, ColorText);
        SetBkColor(dc, ColorPanel);
    } else if (message == WM_CTLCOLORSTATIC) {
        SetTextColor(dc, ColorTextMuted);
        SetBkColor(dc, ColorPanel);
    }
    return PanelBrush;
}

bool IsOverLink(int x, int y)
{
    return x >= LinkRect.left && x <= LinkRect.right && y >= LinkRect.top && y <= LinkRect.bottom;
}
