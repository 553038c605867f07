// The painted window face: page, logo, panels and labels, plus the control colours and the link.
#include "style/style.h"

#include "app/app.h"

HBRUSH PageBrush;
HBRUSH PanelBrush;
HFONT UiFont;
HFONT UiBoldFont;
HBITMAP LogoBitmap;

const RECT LinkRect = {700, 20, 862, 58};
const wchar_t VendorHost[] = L"zeltra.example";

namespace {

const UINT LabelFormat = DT_VCENTER | DT_SINGLELINE;
const UINT CenteredFormat = LabelFormat | DT_CENTER;
const UINT RightFormat = LabelFormat | DT_RIGHT;

const int LogoX = 28;
const int LogoY = 22;
const int LogoSize = 34;
const int PanelCorner = 8;
const int SemiBoldWeight = 600;

// One thing painted on the face: a panel when text is null, a label otherwise.
struct FaceItem {
    const wchar_t* text;
    RECT rect;
    HFONT* font;
    COLORREF color;
    UINT format;
};

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

void DrawLogo(HDC dc)
{
    if (!LogoBitmap)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = SelectObject(memory, LogoBitmap);
    BitBlt(dc, LogoX, LogoY, LogoSize, LogoSize, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteDC(memory);
}

void DeleteIfSet(HGDIOBJ object)
{
    if (object)
        DeleteObject(object);
}

} // namespace

void CreateStyleObjects()
{
    PageBrush = CreateSolidBrush(ColorPageBackground);
    PanelBrush = CreateSolidBrush(ColorPanel);

    // On failure the metrics stay zero and the fonts come from the all-zero LOGFONT.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    UiFont = CreateFontIndirectW(&font);
    font.lfWeight = SemiBoldWeight;
    UiBoldFont = CreateFontIndirectW(&font);

    LogoBitmap = static_cast<HBITMAP>(
        LoadImageW(AppInstance, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, LogoSize, LogoSize, LR_CREATEDIBSECTION));
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

void PaintWindowFace(HDC dc)
{
    RECT client;
    GetClientRect(MainWindow, &client);
    FillRect(dc, &client, PageBrush);
    DrawLogo(dc);
    for (const FaceItem& item : FaceItems) {
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
