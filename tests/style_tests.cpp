// The visual style read back as pixels: the painted face, the owner-drawn buttons, the edit
// frames on the real window, and the vendor link.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/desktop_shell.h"
#include "harness/harness.h"
#include "spooler/spooler.h"
#include "style/style.h"

namespace {

const char OnePrinter[] =
    "admin yes\n"
    "standard-forms no\n"
    "printer \"Style Printer\"\n"
    "default \"Style Printer\"\n"
    "form user 241000 93000 0 0 241000 93000 \"Style Form\"\n";

const COLORREF Sentinel = RGB(255, 0, 255);

// Colours print as "(r, g, b)" so a failing check shows both values readably.
std::string Rgb(COLORREF color)
{
    char text[32];
    std::snprintf(text, sizeof(text), "(%d, %d, %d)", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

// What a painting step drew into a fresh 32-bpp bitmap, one COLORREF per pixel, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
};

COLORREF PixelAt(const Picture& picture, int x, int y)
{
    return picture.pixels[static_cast<size_t>(y) * picture.width + x];
}

Picture Render(int width, int height, COLORREF background, const std::function<void(HDC)>& paint)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);

    paint(dc);
    GdiFlush();

    Picture picture;
    picture.width = width;
    picture.height = height;
    const DWORD* raw = static_cast<const DWORD*>(bits);
    for (int i = 0; bits && i < width * height; ++i)
        picture.pixels.push_back(RGB((raw[i] >> 16) & 0xFF, (raw[i] >> 8) & 0xFF, raw[i] & 0xFF));
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
}

// Text is anti-aliased, so a colour is looked for anywhere in an area rather than at one point.
bool AreaHolds(const Picture& picture, const RECT& area, COLORREF color)
{
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (PixelAt(picture, x, y) == color)
                return true;
    return false;
}

// Pixels in the area that differ from the background: where text left ink.
bool AreaHasInk(const Picture& picture, const RECT& area, COLORREF background)
{
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (PixelAt(picture, x, y) != background)
                return true;
    return false;
}

// The bounds of the pixels in the area that differ from the background; empty for none.
RECT InkBounds(const Picture& picture, const RECT& area, COLORREF background)
{
    RECT ink = {};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const RECT pixel = {x, y, x + 1, y + 1};
            if (PixelAt(picture, x, y) != background)
                UnionRect(&ink, &ink, &pixel);
        }
    return ink;
}

// What DrawTextW needs for one line of the text in the font.
SIZE TextSize(const std::wstring& text, HFONT font)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT box = {};
    DrawTextW(dc, text.c_str(), -1, &box, DT_SINGLELINE | DT_CALCRECT);
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    return SIZE{box.right, box.bottom};
}

// --- The painted face, on a popup whose client area is exactly the main window's width ---

const int FaceWidth = 916;
const int FaceHeight = 581;

class FaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppInstance = GetModuleHandleW(nullptr);
        MainWindow = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, FaceWidth, FaceHeight, nullptr, nullptr,
                                     AppInstance, nullptr);
        ASSERT_NE(nullptr, MainWindow);
        CreateStyleObjects(AppInstance, IDB_LOGO);
    }
    void TearDown() override
    {
        ReleaseStyleObjects();
        DestroyWindow(MainWindow);
        MainWindow = nullptr;
    }
};

Picture RenderFace()
{
    return Render(FaceWidth, FaceHeight, Sentinel, [](HDC dc) { PaintMainWindowFace(dc); });
}

TEST_F(FaceTest, PageAndPanelsTakeTheirColoursAndPanelCornersAreRound)
{
    const Picture face = RenderFace();
    const struct {
        int x, y;
        COLORREF color;
        const char* where;
    } points[] = {
        {5, 5, ColorPageBackground, "page, top left"},
        {900, 300, ColorPageBackground, "page right of the panels"},
        {600, 300, ColorPageBackground, "gap between the two panels"},
        {450, 132, ColorPageBackground, "gap below the header panel"},
        {450, 570, ColorPageBackground, "page below the panels"},
        {500, 100, ColorPanel, "header panel inside"},
        {300, 400, ColorPanel, "left panel inside"},
        {750, 530, ColorPanel, "right panel inside"},
        {400, 72, ColorBorder, "header panel top edge"},
        {400, 123, ColorBorder, "header panel bottom edge"},
        {24, 300, ColorBorder, "left panel left edge"},
        {593, 300, ColorBorder, "left panel right edge"},
        {300, 557, ColorBorder, "left panel bottom edge"},
        {610, 300, ColorBorder, "right panel left edge"},
        {875, 300, ColorBorder, "right panel right edge"},
        {24, 72, ColorPageBackground, "header panel corner, outside the rounding"},
        {24, 140, ColorPageBackground, "left panel corner, outside the rounding"},
        {875, 557, ColorPageBackground, "right panel corner, outside the rounding"},
    };
    for (const auto& point : points)
        EXPECT_EQ(Rgb(point.color), Rgb(PixelAt(face, point.x, point.y)))
            << point.where << " at (" << point.x << ", " << point.y << ")";
}

TEST_F(FaceTest, LogoIsCopiedOpaqueAtItsOwnSize)
{
    ASSERT_NE(nullptr, LogoBitmap) << "bitmap 201 did not load";
    // The logo's own pixels, read from the bitmap itself.
    const Picture logo = Render(34, 34, Sentinel, [](HDC dc) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, LogoBitmap);
        BitBlt(dc, 0, 0, 34, 34, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    });
    int notPage = 0;
    for (COLORREF pixel : logo.pixels)
        notPage += pixel != ColorPageBackground;
    ASSERT_GT(notPage, 0) << "the logo is all page colour, so its placement cannot be seen";

    const Picture face = RenderFace();
    int wrong = 0;
    std::string first;
    for (int y = 0; y < 34; ++y) {
        for (int x = 0; x < 34; ++x) {
            if (PixelAt(face, 28 + x, 22 + y) != PixelAt(logo, x, y) && wrong++ == 0)
                first = "first at logo (" + std::to_string(x) + ", " + std::to_string(y) + "): expected " +
                        Rgb(PixelAt(logo, x, y)) + ", face has " + Rgb(PixelAt(face, 28 + x, 22 + y));
        }
    }
    EXPECT_EQ(0, wrong) << first;
    for (POINT outside : {POINT{27, 30}, POINT{62, 30}, POINT{40, 21}, POINT{40, 56}})
        EXPECT_EQ(Rgb(ColorPageBackground), Rgb(PixelAt(face, outside.x, outside.y)))
            << "next to the logo at (" << outside.x << ", " << outside.y << ")";
}

TEST_F(FaceTest, MissingLogoLeavesPageColourAndKeepsTheTitle)
{
    DeleteObject(LogoBitmap);
    LogoBitmap = nullptr;
    const Picture face = RenderFace();
    int wrong = 0;
    for (int y = 22; y < 56; ++y)
        for (int x = 28; x < 62; ++x)
            wrong += PixelAt(face, x, y) != ColorPageBackground;
    EXPECT_EQ(0, wrong) << "pixels of the logo square that are not page colour";
    EXPECT_TRUE(AreaHolds(face, RECT{74, 20, 330, 58}, ColorText)) << "the title is missing";
}

struct FaceLabel {
    const char* label;
    const wchar_t* text;
    RECT rect;
    COLORREF color;
    bool right; // right-aligned, so a text too long for it is cut on the left
};
const FaceLabel FaceLabels[] = {
    {"title", L"Zeltra \u00B7 纸张管理", {74, 20, 330, 58}, ColorText, false},
    {"vendor link", L"zeltra.example", {700, 20, 862, 58}, ColorTextMuted, true},
    {"打印机", L"打印机", {40, 84, 96, 108}, ColorText, false},
    {"纸张规格", L"纸张规格", {40, 150, 140, 180}, ColorText, false},
    {"搜索", L"搜索", {300, 184, 342, 208}, ColorTextMuted, true},
    {"纸张设置", L"纸张设置", {626, 150, 740, 180}, ColorText, false},
    {"快速规格", L"快速规格", {626, 196, 740, 220}, ColorTextMuted, false},
    {"名称", L"名称", {626, 350, 676, 374}, ColorText, false},
    {"宽度", L"宽度", {626, 392, 676, 416}, ColorText, false},
    {"高度", L"高度", {626, 434, 676, 458}, ColorText, false},
    {"mm of width", L"mm", {824, 392, 852, 416}, ColorTextMuted, false},
    {"mm of height", L"mm", {824, 434, 852, 458}, ColorTextMuted, false},
};

TEST_F(FaceTest, EveryLabelIsDrawnInItsColourInsideItsRectangle)
{
    const Picture face = RenderFace();
    for (const FaceLabel& label : FaceLabels) {
        EXPECT_TRUE(AreaHolds(face, label.rect, label.color)) << label.label << ": no pixel of " << Rgb(label.color);
        // Grey text cannot produce the darker text colour, even anti-aliased.
        if (label.color == ColorTextMuted) {
            EXPECT_FALSE(AreaHolds(face, label.rect, ColorText)) << label.label << " is drawn in the main text colour";
        }
    }
}

// Run at 96 DPI and again at 144 (DpiWindowTest below): the rectangles stay, the fonts must fit them.
TEST_F(FaceTest, EveryLabelFitsItsRectangleAtAnyDpi)
{
    const Picture face = RenderFace();
    for (const FaceLabel& label : FaceLabels) {
        const RECT& r = label.rect;
        const SIZE text = TextSize(label.text, UiBoldFont); // the wider of the two fonts
        EXPECT_LE(text.cx, r.right - r.left) << label.label << " is too wide";
        EXPECT_LE(text.cy, r.bottom - r.top) << label.label << " is too tall";
        // A text that does not fit is cut at its rectangle, so its ink reaches the edge it overflows.
        const RECT ink = InkBounds(face, r, PixelAt(face, r.left, r.top));
        ASSERT_LT(ink.top, ink.bottom) << label.label << " left no ink";
        EXPECT_TRUE(ink.top > r.top && ink.bottom < r.bottom) << label.label << " is cut at the top or bottom";
        EXPECT_TRUE(label.right ? ink.left > r.left : ink.right < r.right) << label.label << " is cut at its end";
    }
}

TEST_F(FaceTest, LinkAndSearchLabelAreRightAlignedAndTitleCentredVertically)
{
    const Picture face = RenderFace();
    EXPECT_TRUE(AreaHasInk(face, RECT{846, 20, 862, 58}, ColorPageBackground)) << "link text does not reach x 862";
    EXPECT_FALSE(AreaHasInk(face, RECT{700, 20, 740, 58}, ColorPageBackground)) << "link text starts at the left";
    EXPECT_TRUE(AreaHasInk(face, RECT{330, 184, 342, 208}, ColorPanel)) << "\"搜索\" does not reach x 342";
    EXPECT_FALSE(AreaHasInk(face, RECT{300, 184, 312, 208}, ColorPanel)) << "\"搜索\" starts at the left";
    // Centred on y 39: nothing in the top or bottom five rows of its 38-pixel rectangle.
    EXPECT_FALSE(AreaHasInk(face, RECT{74, 20, 330, 25}, ColorPageBackground)) << "title sits at the top";
    EXPECT_FALSE(AreaHasInk(face, RECT{74, 53, 330, 58}, ColorPageBackground)) << "title sits at the bottom";
}

// --- Style objects and the drawing primitives ---

class StyleObjectsTest : public FaceTest {};

TEST_F(StyleObjectsTest, FontsComeFromTheMessageFontAndTheBoldOneDiffersOnlyInWeight)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
    LOGFONTW regular = {};
    LOGFONTW bold = {};
    ASSERT_EQ(static_cast<int>(sizeof(regular)), GetObjectW(UiFont, sizeof(regular), &regular));
    ASSERT_EQ(static_cast<int>(sizeof(bold)), GetObjectW(UiBoldFont, sizeof(bold), &bold));
    EXPECT_EQ(metrics.lfMessageFont.lfHeight, regular.lfHeight);
    EXPECT_EQ(metrics.lfMessageFont.lfWeight, regular.lfWeight);
    EXPECT_EQ(std::wstring(metrics.lfMessageFont.lfFaceName), std::wstring(regular.lfFaceName));
    EXPECT_EQ(600, bold.lfWeight);
    EXPECT_EQ(regular.lfHeight, bold.lfHeight);
    EXPECT_EQ(std::wstring(regular.lfFaceName), std::wstring(bold.lfFaceName));
    EXPECT_EQ(regular.lfCharSet, bold.lfCharSet);

    DIBSECTION logo = {};
    ASSERT_EQ(static_cast<int>(sizeof(logo)), GetObjectW(LogoBitmap, sizeof(logo), &logo)) << "not a DIB section";
    EXPECT_EQ(34, logo.dsBm.bmWidth);
    EXPECT_EQ(34, logo.dsBm.bmHeight);
}

TEST_F(StyleObjectsTest, ReleaseDeletesAllFiveObjects)
{
    const HGDIOBJ objects[] = {PageBrush, PanelBrush, UiFont, UiBoldFont, LogoBitmap};
    for (HGDIOBJ object : objects)
        ASSERT_NE(0u, GetObjectType(object)) << "an object was not created";
    ReleaseStyleObjects();
    for (HGDIOBJ object : objects)
        EXPECT_EQ(0u, GetObjectType(object)) << "an object outlived ReleaseStyleObjects";
    ReleaseStyleObjects(); // a second release finds nothing to delete
}

TEST_F(StyleObjectsTest, PrimitivesHandTheContextBackAsTheyFoundIt)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ brush = GetCurrentObject(dc, OBJ_BRUSH);
    HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN);
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    FillRoundRect(dc, RECT{0, 0, 10, 10}, 4, ColorAccent, ColorBorder);
    EXPECT_EQ(brush, GetCurrentObject(dc, OBJ_BRUSH));
    EXPECT_EQ(pen, GetCurrentObject(dc, OBJ_PEN));
    SetBkMode(dc, OPAQUE);
    DrawLabel(dc, L"x", RECT{0, 0, 10, 10}, UiFont, ColorDanger, DT_SINGLELINE);
    EXPECT_EQ(font, GetCurrentObject(dc, OBJ_FONT));
    EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
    EXPECT_EQ(Rgb(ColorDanger), Rgb(GetTextColor(dc)));
    DeleteDC(dc);
}

TEST_F(StyleObjectsTest, LabelWithoutFontUsesTheContextsFont)
{
    // A 40-pixel font in the context leaves ink in rows a message-font label never reaches.
    auto drawWith = [](HFONT font) {
        return Render(120, 48, ColorPanel, [font](HDC dc) {
            HFONT large = CreateFontW(40, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, nullptr);
            HGDIOBJ old = SelectObject(dc, large);
            DrawLabel(dc, L"WWW", RECT{0, 0, 120, 48}, font, ColorText, DT_VCENTER | DT_SINGLELINE);
            SelectObject(dc, old);
            DeleteObject(large);
        });
    };
    const RECT tallRows = {0, 0, 120, 12};
    ASSERT_FALSE(AreaHasInk(drawWith(UiFont), tallRows, ColorPanel)) << "the message font is as tall as the test font";
    const Picture picture = drawWith(nullptr);
    EXPECT_TRUE(AreaHasInk(picture, tallRows, ColorPanel)) << "the label was not drawn in the context's font";
    EXPECT_TRUE(AreaHolds(picture, RECT{0, 0, 120, 48}, ColorText)) << "nothing was drawn in the text colour";
}

TEST_F(StyleObjectsTest, ControlColorsPutEditAndStaticTextOnWhite)
{
    const struct {
        UINT message;
        COLORREF text;
    } cases[] = {{WM_CTLCOLOREDIT, ColorText}, {WM_CTLCOLORSTATIC, ColorTextMuted}};
    for (const auto& c : cases) {
        HDC dc = CreateCompatibleDC(nullptr);
        SetBkMode(dc, OPAQUE);
        SetTextColor(dc, Sentinel);
        SetBkColor(dc, Sentinel);
        EXPECT_EQ(PanelBrush, ControlColors(c.message, dc)) << "message " << c.message;
        EXPECT_EQ(Rgb(c.text), Rgb(GetTextColor(dc))) << "message " << c.message;
        EXPECT_EQ(Rgb(ColorPanel), Rgb(GetBkColor(dc))) << "message " << c.message;
        EXPECT_EQ(OPAQUE, GetBkMode(dc)) << "message " << c.message;
        DeleteDC(dc);
    }
    EXPECT_NE(nullptr, PanelBrush);
}

TEST(LinkArea, BoundsAreInclusive)
{
    const struct {
        int x, y;
        bool over;
    } points[] = {{700, 20, true}, {862, 58, true}, {780, 39, true}, {699, 39, false},
                  {863, 39, false}, {780, 19, false}, {780, 59, false}};
    for (const auto& point : points)
        EXPECT_EQ(point.over, IsOverLink(point.x, point.y)) << "(" << point.x << ", " << point.y << ")";
}

// --- Owner-drawn buttons ---

struct ButtonCase {
    const char* name;
    UINT id;         // what the main window's WM_DRAWITEM is given
    ButtonLook look; // what ChooseButtonColors is given
    UINT state;
    COLORREF fill, outline, caption;
};

const UINT Ignored = ODS_FOCUS | ODS_DEFAULT | ODS_HOTLIGHT;

const ButtonCase ButtonCases[] = {
    {"add normal", IDC_ADD_BUTTON, ButtonLook::Accent, 0, ColorAccent, ColorAccent, ColorAccentText},
    {"add focused, default, hot", IDC_ADD_BUTTON, ButtonLook::Accent, Ignored, ColorAccent, ColorAccent,
     ColorAccentText},
    {"add pressed", IDC_ADD_BUTTON, ButtonLook::Accent, ODS_SELECTED, ColorPrimaryPressed, ColorAccent,
     ColorAccentText},
    {"add disabled", IDC_ADD_BUTTON, ButtonLook::Accent, ODS_DISABLED, ColorDisabledFill, ColorDisabledBorder,
     ColorDisabledText},
    {"add disabled and pressed", IDC_ADD_BUTTON, ButtonLook::Accent, ODS_DISABLED | ODS_SELECTED, ColorPrimaryPressed,
     ColorDisabledBorder, ColorDisabledText},
    {"delete normal", IDC_DELETE_BUTTON, ButtonLook::Danger, 0, ColorPanel, ColorBorder, ColorDanger},
    {"delete pressed", IDC_DELETE_BUTTON, ButtonLook::Danger, ODS_SELECTED, ColorPanel, ColorBorder, ColorDanger},
    {"delete disabled", IDC_DELETE_BUTTON, ButtonLook::Danger, ODS_DISABLED, ColorDisabledFill, ColorDisabledBorder,
     ColorDisabledText},
    {"modify normal", IDC_MODIFY_BUTTON, ButtonLook::Normal, 0, ColorPanel, ColorBorder, ColorText},
    {"modify pressed", IDC_MODIFY_BUTTON, ButtonLook::Normal, ODS_SELECTED, ColorPanel, ColorBorder, ColorText},
    {"modify disabled", IDC_MODIFY_BUTTON, ButtonLook::Normal, ODS_DISABLED, ColorDisabledFill, ColorDisabledBorder,
     ColorDisabledText},
    {"refresh normal", IDC_REFRESH_BUTTON, ButtonLook::Normal, 0, ColorPanel, ColorBorder, ColorText},
    {"preset disabled and pressed", IDC_PRESET_101, ButtonLook::Normal, ODS_DISABLED | ODS_SELECTED,
     ColorDisabledFill, ColorDisabledBorder, ColorDisabledText},
};

TEST(ButtonLook, ColoursFollowLookAndStateOnly)
{
    for (const ButtonCase& c : ButtonCases) {
        const ButtonColors colors = ChooseButtonColors(c.look, c.state);
        EXPECT_EQ(Rgb(c.fill), Rgb(colors.fill)) << c.name;
        EXPECT_EQ(Rgb(c.outline), Rgb(colors.outline)) << c.name;
        EXPECT_EQ(Rgb(c.caption), Rgb(colors.caption)) << c.name;
    }
}

// A button drawn at (10, 8, 90, 42) of a 100 × 50 bitmap by the main window's WM_DRAWITEM.
Picture RenderButton(UINT id, UINT state, const wchar_t* caption)
{
    HWND button = CreateWindowExW(0, L"BUTTON", caption, WS_POPUP | BS_OWNERDRAW, 0, 0, 80, 34, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    const Picture picture = Render(100, 50, Sentinel, [&](HDC dc) {
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_BUTTON;
        item.CtlID = id;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = button;
        item.hDC = dc;
        item.rcItem = RECT{10, 8, 90, 42};
        EXPECT_EQ(TRUE, MainWndProc(MainWindow, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&item)));
    });
    DestroyWindow(button);
    return picture;
}

const RECT CaptionArea = {20, 12, 80, 38};

class ButtonPaintTest : public FaceTest {};

TEST_F(ButtonPaintTest, ButtonsPaintFillOutlineAndCaptionOfTheirState)
{
    for (const ButtonCase& c : ButtonCases) {
        // Solid squares leave pixels of the exact caption colour despite anti-aliasing.
        const Picture b = RenderButton(c.id, c.state, L"\u25A0\u25A0");
        EXPECT_EQ(Rgb(c.fill), Rgb(PixelAt(b, 14, 12))) << c.name << ": fill near the top left";
        EXPECT_EQ(Rgb(c.fill), Rgb(PixelAt(b, 85, 37))) << c.name << ": fill near the bottom right";
        for (POINT edge : {POINT{50, 8}, POINT{50, 41}, POINT{10, 25}, POINT{89, 25}})
            EXPECT_EQ(Rgb(c.outline), Rgb(PixelAt(b, edge.x, edge.y)))
                << c.name << ": outline at (" << edge.x << ", " << edge.y << ")";
        EXPECT_EQ(Rgb(ColorPanel), Rgb(PixelAt(b, 10, 8))) << c.name << ": corner outside the rounding";
        EXPECT_EQ(Rgb(Sentinel), Rgb(PixelAt(b, 5, 5))) << c.name << ": painted outside the button";
        EXPECT_TRUE(AreaHolds(b, CaptionArea, c.caption)) << c.name << ": no caption pixel of " << Rgb(c.caption);
    }
}

TEST_F(ButtonPaintTest, ButtonCaptionIsTheButtonsWindowText)
{
    const Picture empty = RenderButton(IDC_ADD_BUTTON, 0, L"");
    EXPECT_FALSE(AreaHolds(empty, CaptionArea, ColorAccentText)) << "a caption appeared without window text";
    const Picture added = RenderButton(IDC_ADD_BUTTON, 0, L"添加");
    EXPECT_TRUE(AreaHolds(added, CaptionArea, ColorAccentText)) << "\"添加\" was not drawn";
}

// --- Edit frames and the link on the real main window ---

// The link's calls in order: "desktop" for the desktop's shell, "ShellExecuteW" for the fallback.
struct ShellCall {
    std::string route;
    HWND owner;
    std::wstring verb, file;
    bool noParameters, noDirectory;
    INT show;
};
std::vector<ShellCall> ShellCalls;
bool DesktopShellThere = true;
bool Elevated = false; // what the elevation query answers

bool RecordDesktopShellExecute(const wchar_t* file)
{
    ShellCalls.push_back({"desktop", nullptr, L"", file ? file : L"(null)", true, true, 0});
    return DesktopShellThere;
}

HINSTANCE WINAPI RecordShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                    INT show)
{
    ShellCalls.push_back({"ShellExecuteW", owner, verb ? verb : L"(null)", file ? file : L"(null)",
                          parameters == nullptr, directory == nullptr, show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42)); // success, as ShellExecuteW reports it
}

class StyledWindowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ShellCalls.clear();
        DesktopShellThere = true;
        DesktopShellExecuteHook = RecordDesktopShellExecute;
        ShellExecuteHook = RecordShellExecute;
        Elevated = false;
        ProcessElevatedHook = [] { return Elevated; };
        UseSpoolerState(OnePrinter);
        ASSERT_NE(nullptr, OpenMainWindow());
        ShowMainWindow();
        SetForegroundWindow(MainWindow);
        RECT window;
        GetWindowRect(MainWindow, &window);
        Away = POINT{window.right + 20, window.bottom + 20};
        if (Away.x >= GetSystemMetrics(SM_CXSCREEN) || Away.y >= GetSystemMetrics(SM_CYSCREEN))
            Away = POINT{window.left > 20 ? 5 : window.right + 5, 5};
        MovePointerTo(Away);
        PumpPending();
    }
    void TearDown() override
    {
        DesktopShellExecuteHook = &ShellExecuteFromDesktop;
        ShellExecuteHook = &ShellExecuteFromSystem;
        ProcessElevatedHook = &ProcessIsElevated;
        MainWindowTest::TearDown();
    }
    static void MovePointerTo(POINT screen) { SetCursorPos(screen.x, screen.y); }
    // A real click there, as the user's hand gives it.
    static void ClickAt(POINT screen)
    {
        MovePointerTo(screen);
        INPUT click[2] = {};
        click[0].type = click[1].type = INPUT_MOUSE;
        click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ASSERT_EQ(2u, SendInput(2, click, sizeof(INPUT)));
    }
    POINT Away = {};
};

class EditFrameTest : public StyledWindowTest {};
class VendorLinkTest : public StyledWindowTest {};

POINT CentreOf(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    POINT point = {client.right / 2, client.bottom / 2};
    ClientToScreen(window, &point);
    return point;
}

// The box's outermost pixel in the middle of one side (0 top, 1 right, 2 bottom, 3 left).
COLORREF FramePixel(HWND edit, int side = 0)
{
    RECT rect;
    GetWindowRect(edit, &rect);
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    const POINT points[] = {{w / 2, 0}, {w - 1, h / 2}, {w / 2, h - 1}, {0, h / 2}};
    HDC dc = GetWindowDC(edit);
    const COLORREF color = GetPixel(dc, points[side].x, points[side].y);
    ReleaseDC(edit, dc);
    return color;
}

void MarkFramePixel(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    HDC dc = GetWindowDC(window);
    SetPixel(dc, (rect.right - rect.left) / 2, 0, Sentinel);
    ReleaseDC(window, dc);
}

// The first of the four boxes, in creation order, that shows the hover look; null for none.
HWND HoveredBox()
{
    for (HWND box : {SearchEdit, NameEdit, WidthEdit, HeightEdit})
        if (IsEditHovered(box))
            return box;
    return nullptr;
}

// Moves the pointer and dispatches only the mouse moves for that box, so no other box's
// leave notice can run before the check.
bool HoverOnlyMovesInto(HWND box, POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    const DWORD start = GetTickCount();
    while (HoveredBox() != box && GetTickCount() - start < 3000) {
        MSG msg;
        if (PeekMessageW(&msg, box, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE))
            DispatchMessageW(&msg);
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_MOUSEMOVE);
    }
    return HoveredBox() == box;
}

TEST_F(EditFrameTest, FocusedBoxShowsTheAccentFrameOnAllSidesAndTheOthersIdle)
{
    SetFocus(NameEdit);
    PumpPending();
    ASSERT_EQ(NameEdit, GetFocus());
    for (int side = 0; side < 4; ++side)
        EXPECT_EQ(Rgb(ColorAccent), Rgb(FramePixel(NameEdit, side))) << "side " << side;
    for (HWND other : {SearchEdit, WidthEdit, HeightEdit})
        EXPECT_EQ(Rgb(ColorBorder), Rgb(FramePixel(other))) << "box id " << GetDlgCtrlID(other);
}

TEST_F(EditFrameTest, FocusOutranksHoverAndLeavingRestoresTheIdleFrame)
{
    SetFocus(NameEdit);
    MovePointerTo(CentreOf(NameEdit));
    ASSERT_TRUE(PumpUntil([] { return HoveredBox() == NameEdit; })) << "the name box never saw the pointer";
    EXPECT_EQ(Rgb(ColorAccent), Rgb(FramePixel(NameEdit))) << "focused and hovered";

    // Read at once: the boxes' own repaints come only with the next pump.
    SetFocus(WidthEdit);
    EXPECT_EQ(Rgb(ColorBorderHover), Rgb(FramePixel(NameEdit))) << "lost the focus, still hovered";
    EXPECT_EQ(Rgb(ColorAccent), Rgb(FramePixel(WidthEdit))) << "took the focus";
    PumpPending();
    EXPECT_EQ(Rgb(ColorBorderHover), Rgb(FramePixel(NameEdit))) << "lost the focus, after its repaint";

    MovePointerTo(Away);
    ASSERT_TRUE(PumpUntil([] { return HoveredBox() == nullptr; }, 3000)) << "no leave notice came";
    EXPECT_EQ(Rgb(ColorBorder), Rgb(FramePixel(NameEdit))) << "after the pointer left";
}

TEST_F(EditFrameTest, MovingStraightIntoAnotherBoxDropsTheFirstHoverAtOnce)
{
    MovePointerTo(CentreOf(WidthEdit));
    ASSERT_TRUE(PumpUntil([] { return HoveredBox() == WidthEdit; })) << "the width box never saw the pointer";
    EXPECT_EQ(Rgb(ColorBorderHover), Rgb(FramePixel(WidthEdit)));

    ASSERT_TRUE(HoverOnlyMovesInto(HeightEdit, CentreOf(HeightEdit))) << "the height box never saw the pointer";
    EXPECT_FALSE(IsEditHovered(WidthEdit)) << "width box before its leave notice";
    EXPECT_EQ(Rgb(ColorBorder), Rgb(FramePixel(WidthEdit))) << "width box before its leave notice";
    EXPECT_EQ(Rgb(ColorBorderHover), Rgb(FramePixel(HeightEdit)));

    // The width box's late leave notice: it repaints that box only and keeps the hover where it is.
    MarkFramePixel(WidthEdit);
    MarkFramePixel(HeightEdit);
    SendMessageW(WidthEdit, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(HeightEdit, HoveredBox());
    EXPECT_EQ(Rgb(ColorBorder), Rgb(FramePixel(WidthEdit))) << "the leaving box was not repainted";
    EXPECT_EQ(Rgb(Sentinel), Rgb(FramePixel(HeightEdit))) << "the hovered box was repainted";
}

TEST_F(EditFrameTest, FrameSurvivesTheBoxRepaintingItselfAndItsBorder)
{
    SetFocus(NameEdit);
    PumpPending();
    for (HWND box : {NameEdit, WidthEdit}) {
        InvalidateRect(box, nullptr, TRUE);
        UpdateWindow(box);
    }
    EXPECT_EQ(Rgb(ColorAccent), Rgb(FramePixel(NameEdit))) << "focused box after its WM_PAINT";
    EXPECT_EQ(Rgb(ColorBorder), Rgb(FramePixel(WidthEdit))) << "idle box after its WM_PAINT";

    // A border repaint must end with the frame on top.
    MarkFramePixel(WidthEdit);
    SendMessageW(WidthEdit, WM_NCPAINT, 1, 0);
    EXPECT_EQ(Rgb(ColorBorder), Rgb(FramePixel(WidthEdit))) << "idle box after its WM_NCPAINT";
}

TEST_F(EditFrameTest, OnlyTheFourBoxesAreFramed)
{
    for (HWND other : {FormList, PrinterCombo, CustomOnlyCheck, StatusText}) {
        EXPECT_FALSE(IsFramedEdit(other)) << "control id " << GetDlgCtrlID(other);
        MarkFramePixel(other);
        PaintEditFrame(other);
        EXPECT_EQ(Rgb(Sentinel), Rgb(FramePixel(other))) << "control id " << GetDlgCtrlID(other);
    }
    MarkFramePixel(SearchEdit);
    PaintEditFrame(SearchEdit);
    EXPECT_EQ(Rgb(ColorBorder), Rgb(FramePixel(SearchEdit))) << "a box is framed on request";

    EXPECT_FALSE(IsFramedEdit(nullptr)) << "a missing handle counts as a box";
}

TEST_F(EditFrameTest, FramedBoxesStillEditAndAnswerAsBefore)
{
    for (HWND box : {SearchEdit, NameEdit, WidthEdit, HeightEdit})
        EXPECT_TRUE(IsFramedEdit(box)) << "box id " << GetDlgCtrlID(box) << " carries no framing subclass";
    SetWindowTextW(WidthEdit, L"");
    SendMessageW(WidthEdit, WM_CHAR, L'7', 1);
    SendMessageW(WidthEdit, WM_CHAR, L'5', 1);
    EXPECT_EQ(L"75", TextOf(WidthEdit));
    EXPECT_EQ(2, SendMessageW(WidthEdit, WM_GETTEXTLENGTH, 0, 0));

    // A font set again brings the edit's own margins back; the box keeps its inset.
    SendMessageW(WidthEdit, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont), TRUE);
    const LRESULT margins = SendMessageW(WidthEdit, EM_GETMARGINS, 0, 0);
    EXPECT_EQ(7, LOWORD(margins)) << "left margin";
    EXPECT_EQ(7, HIWORD(margins)) << "right margin";
}

std::string RectText(const RECT& r)
{
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

// What the box shows, frame included, one pixel per window coordinate.
Picture BoxPicture(HWND box)
{
    RECT r;
    GetWindowRect(box, &r);
    HDC source = GetWindowDC(box);
    const Picture picture = Render(r.right - r.left, r.bottom - r.top, Sentinel, [&](HDC dc) {
        BitBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, source, 0, 0, SRCCOPY);
    });
    ReleaseDC(box, source);
    return picture;
}

// The bounds of the text's ink: every pixel inside the frame that is not the panel's white.
RECT InkInsideFrame(const Picture& picture)
{
    return InkBounds(picture, RECT{1, 1, picture.width - 1, picture.height - 1}, ColorPanel);
}

TEST_F(EditFrameTest, TextStartsSevenPixelsInsideTheFrameInTheMiddleOfTheBox)
{
    SetFocus(FormList);
    const std::pair<HWND, const wchar_t*> cases[] = {{WidthEdit, L"241"}, {NameEdit, L"纸张"}, {SearchEdit, L""}};
    for (const auto& c : cases) { // the empty search box shows its cue banner
        SetWindowTextW(c.first, c.second);
        PumpPending();
        const Picture picture = BoxPicture(c.first);
        const RECT ink = InkInsideFrame(picture);
        const std::string what = "box id " + std::to_string(GetDlgCtrlID(c.first)) + ", ink " + RectText(ink);
        ASSERT_LT(ink.left, ink.right) << what;
        EXPECT_NEAR(1 + 7, ink.left, 1) << what;
        EXPECT_NEAR(picture.height / 2.0, (ink.top + ink.bottom) / 2.0, 1) << what;
    }
}

TEST_F(EditFrameTest, LongTextScrollsInsideTheInsetAndNeverOverTheFrame)
{
    SetFocus(NameEdit);
    SetWindowTextW(NameEdit, L"Zeltra 241x140mm 自定义纸张 很长很长的名称 0123456789");
    SendMessageW(NameEdit, EM_SETSEL, 0x7FFF, 0x7FFF);
    SetFocus(FormList); // no caret in the picture
    PumpPending();
    EXPECT_LT(static_cast<short>(LOWORD(SendMessageW(NameEdit, EM_POSFROMCHAR, 0, 0))), 0) << "not scrolled";
    for (int side = 0; side < 4; ++side)
        EXPECT_EQ(Rgb(ColorBorder), Rgb(FramePixel(NameEdit, side))) << "side " << side;
    const Picture picture = BoxPicture(NameEdit);
    const RECT ink = InkInsideFrame(picture);
    const RECT inset = {7, 2, picture.width - 7, picture.height - 2};
    RECT inside;
    IntersectRect(&inside, &ink, &inset);
    EXPECT_TRUE(EqualRect(&inside, &ink)) << "ink " << RectText(ink) << " beyond " << RectText(inset);
}

TEST_F(EditFrameTest, SelectionCaretAndAClickInThePaddingWorkInTheInsetBox)
{
    SetFocus(WidthEdit);
    SendMessageW(WidthEdit, EM_SETSEL, 0, -1);
    PumpPending();
    const Picture selected = BoxPicture(WidthEdit);
    const RECT ink = InkInsideFrame(selected);
    EXPECT_TRUE(AreaHolds(selected, ink, GetSysColor(COLOR_HIGHLIGHT))) << "no selection to be seen";
    EXPECT_NEAR(selected.height / 2.0, (ink.top + ink.bottom) / 2.0, 1) << "selection " << RectText(ink);

    SendMessageW(WidthEdit, EM_SETSEL, 0, 0);
    RECT box;
    GetWindowRect(WidthEdit, &box);
    POINT caret = {};
    GetCaretPos(&caret);
    MapWindowPoints(WidthEdit, nullptr, &caret, 1);
    EXPECT_NEAR(ink.left, caret.x - box.left, 1) << "caret before the first character";

    SetFocus(FormList);
    ClickAt(POINT{box.left + 40, box.top + 2});
    EXPECT_TRUE(PumpUntil([] { return GetFocus() == WidthEdit; })) << "a click above the text missed the box";
}

TEST(EditText, RowIsInsideTheFrameAndCentredAndNeverOverIt)
{
    const struct {
        int lineHeight;
        RECT expected;
    } cases[] = {{13, {1, 6, 135, 19}}, {16, {1, 4, 135, 20}}, {17, {1, 4, 135, 21}},
                 {21, {1, 2, 135, 23}}, {22, {1, 1, 135, 23}}, {26, {1, 1, 135, 23}}};
    for (const auto& c : cases)
        EXPECT_EQ(RectText(c.expected), RectText(EditTextRect(136, 24, c.lineHeight))) << "line " << c.lineHeight;
}

// --- At a display scale of 150 % ---

// Set only in the second run of this program, which the first starts at 144 DPI.
const wchar_t ScaledDpiVariable[] = L"ZELTRA_TEST_DPI";
const wchar_t FirstClientVariable[] = L"ZELTRA_TEST_CLIENT"; // the first run's client area, "WxH"
const wchar_t ScaledTests[] = L"FaceTest.EveryLabelFitsItsRectangleAtAnyDpi:DpiWindowTest.*";

class DpiWindowTest : public StyledWindowTest {};

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[64] = {};
    return GetEnvironmentVariableW(name, value, 64) < 64 ? value : L"";
}

// This program again with only the given tests, at the display scale Wine reads from the
// registry when a process starts; its exit code.
DWORD RunThisProgramAtDpi(DWORD dpi, const std::wstring& tests)
{
    const wchar_t* desktop = L"Control Panel\\Desktop";
    DWORD before = 0;
    DWORD size = sizeof(before);
    const bool hadValue =
        RegGetValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &before, &size) == 0;
    EXPECT_EQ(0, RegSetKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)));

    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(exe) + L"\" --gtest_filter=" + tests;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    DWORD exitCode = 0xFFFFFFFF;
    if (CreateProcessW(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 60000)) << "the second run did not end";
        GetExitCodeProcess(info.hProcess, &exitCode);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    if (hadValue)
        RegSetKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &before, sizeof(before));
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels");
    return exitCode;
}

TEST_F(DpiWindowTest, EveryButtonCaptionFitsInsideItsOutline)
{
    for (HWND button : {RefreshButton, PresetHalfButton, PresetThirdButton, Preset101Button, Preset127Button,
                        DeleteButton, ModifyButton, AddButton}) {
        const std::string what = Narrow(TextOf(button));
        const Picture picture = BoxPicture(button);
        const SIZE text = TextSize(TextOf(button), reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
        EXPECT_LE(text.cx, picture.width - 2) << what << " is wider than the inside of its outline";
        EXPECT_LE(text.cy, picture.height - 2) << what << " is taller than the inside of its outline";
        // The caption is centred: one cut at the sides leaves ink next to the outline on both.
        const COLORREF fill = PixelAt(picture, picture.width / 2, 2);
        const RECT ink = InkBounds(picture, RECT{1, 4, picture.width - 1, picture.height - 4}, fill);
        ASSERT_LT(ink.left, ink.right) << what << " left no ink";
        EXPECT_TRUE(ink.left > 1 && ink.right < picture.width - 1) << what << ": ink " << RectText(ink);
    }
}

// The main window at 144 DPI, in a second run of this program: the client area of the first
// run, at 96 DPI, and every text inside its rectangle (the tests in ScaledTests).
TEST_F(DpiWindowTest, At150PercentTheClientAreaKeepsItsSizeAndEveryTextFits)
{
    RECT client;
    GetClientRect(MainWindow, &client);
    const std::wstring clientSize = std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom);
    RECT outer;
    GetWindowRect(MainWindow, &outer);
    const SIZE scaledBack = MainWindowSize(nullptr); // the size before Windows 10 1607
    const std::wstring scaledDpi = Variable(ScaledDpiVariable);
    if (!scaledDpi.empty()) {
        ASSERT_EQ(std::stoi(scaledDpi), ScreenDpi()) << "this run did not start at the display scale asked for";
        EXPECT_EQ(Narrow(Variable(FirstClientVariable)), Narrow(clientSize)) << "client area at 144 DPI";
        // Scaled back from 144 DPI, the frame and caption make a window a few pixels larger at most.
        EXPECT_GE(scaledBack.cx, outer.right - outer.left);
        EXPECT_GE(scaledBack.cy, outer.bottom - outer.top);
        EXPECT_LE(scaledBack.cx, outer.right - outer.left + 4);
        EXPECT_LE(scaledBack.cy, outer.bottom - outer.top + 4);
        return;
    }
    ASSERT_EQ(96, ScreenDpi()) << "the suite runs at 100 %";
    EXPECT_EQ(916, scaledBack.cx);
    EXPECT_EQ(620, scaledBack.cy);
    SetEnvironmentVariableW(ScaledDpiVariable, L"144");
    SetEnvironmentVariableW(FirstClientVariable, clientSize.c_str());
    EXPECT_EQ(0u, RunThisProgramAtDpi(144, ScaledTests)) << "the run at 144 DPI failed (its output is above)";
    SetEnvironmentVariableW(ScaledDpiVariable, nullptr);
    SetEnvironmentVariableW(FirstClientVariable, nullptr);
}

// --- The check box's label ---

class CheckLabelTest : public StyledWindowTest {};

// uxtheme's GetWindowTheme, looked up so that no test program imports uxtheme.
bool IsThemed(HWND window)
{
    HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
    const auto getTheme = reinterpret_cast<HANDLE(WINAPI*)(HWND)>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme, "GetWindowTheme")));
    return getTheme && getTheme(window); // uxtheme stays loaded: the box itself uses it
}

// A theme on Windows draws the label in its own black, whatever colour the parent sets. Wine's
// light theme has no colour of its own for check boxes and keeps the parent's, so the parent's
// is made black here.
LRESULT CALLBACK LabelColourIgnored(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = MainWndProc(window, message, wParam, lParam);
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == CustomOnlyCheck)
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
    return result;
}

TEST_F(CheckLabelTest, ThemedLabelIsMutedBesideTheGlyphAndAClickOnItToggles)
{
    ASSERT_TRUE(IsThemed(CustomOnlyCheck)) << "the check box is not themed: is Wine's light theme off in this prefix?";
    SetWindowLongPtrW(MainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LabelColourIgnored));
    EXPECT_EQ(L"仅显示自定义纸张", TextOf(CustomOnlyCheck)) << "the text screen readers read";
    const RECT glyph = {0, 0, 13, 24};
    const RECT label = {13, 0, 170, 24};
    for (bool checked : {true, false}) {
        RedrawWindow(CustomOnlyCheck, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const Picture picture = BoxPicture(CustomOnlyCheck);
        EXPECT_TRUE(AreaHasInk(picture, glyph, ColorPanel)) << "no glyph; checked " << checked;
        EXPECT_TRUE(AreaHolds(picture, label, RGB(96, 96, 96))) << "no muted label; checked " << checked;
        EXPECT_FALSE(AreaHolds(picture, label, RGB(0, 0, 0))) << "a black label; checked " << checked;

        RECT box;
        GetWindowRect(CustomOnlyCheck, &box);
        ClickAt(POINT{box.left + 60, box.top + 12}); // the label's middle
        const LRESULT after = checked ? BST_UNCHECKED : BST_CHECKED;
        EXPECT_TRUE(PumpUntil([&] { return SendMessageW(CustomOnlyCheck, BM_GETCHECK, 0, 0) == after; }))
            << "a click on the label did not toggle the box from checked " << checked;
        MovePointerTo(Away);
        SetFocus(FormList); // no focus rectangle in the next picture
    }
    SetWindowLongPtrW(MainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWndProc));
}

TEST(EditFrameColour, FocusThenHoverThenIdle)
{
    EXPECT_EQ(Rgb(ColorAccent), Rgb(EditFrameColor(true, true)));
    EXPECT_EQ(Rgb(ColorAccent), Rgb(EditFrameColor(true, false)));
    EXPECT_EQ(Rgb(ColorBorderHover), Rgb(EditFrameColor(false, true)));
    EXPECT_EQ(Rgb(ColorBorder), Rgb(EditFrameColor(false, false)));
}

TEST_F(VendorLinkTest, ReleaseOverTheLinkOpensTheVendorAddressOnceThroughTheDesktop)
{
    const struct {
        int x, y;
        bool opens;
    } releases[] = {{700, 20, true}, {862, 58, true}, {780, 39, true}, {699, 39, false},
                    {863, 39, false}, {780, 19, false}, {780, 59, false}, {400, 300, false}};
    for (const auto& release : releases) {
        ShellCalls.clear();
        SendMessageW(MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(release.x, release.y));
        const std::string where = "(" + std::to_string(release.x) + ", " + std::to_string(release.y) + ")";
        ASSERT_EQ(release.opens ? 1u : 0u, ShellCalls.size()) << "release at " << where;
        if (!release.opens)
            continue;
        EXPECT_EQ("desktop", ShellCalls[0].route) << where;
        EXPECT_EQ(L"https://zeltra.example/", ShellCalls[0].file) << where;
    }
}

TEST_F(VendorLinkTest, WithoutTheDesktopsShellTheLinkFallsBackToShellExecute)
{
    DesktopShellThere = false;
    SendMessageW(MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(780, 39));
    ASSERT_EQ(2u, ShellCalls.size());
    EXPECT_EQ("desktop", ShellCalls[0].route) << "tried first";
    const ShellCall& call = ShellCalls[1];
    EXPECT_EQ("ShellExecuteW", call.route);
    EXPECT_EQ(MainWindow, call.owner);
    EXPECT_EQ(L"open", call.verb);
    EXPECT_EQ(L"https://zeltra.example/", call.file);
    EXPECT_TRUE(call.noParameters && call.noDirectory);
    EXPECT_EQ(SW_SHOWNORMAL, call.show);
}

// Under Wine every process is elevated; here the token says so, and the desktop's shell is gone.
TEST_F(VendorLinkTest, ElevatedWithoutTheDesktopsShellTheLinkShowsTheAddressAndStartsNoBrowser)
{
    DesktopShellThere = false;
    Elevated = true;
    ExpectBox();
    SendMessageW(MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(780, 39));
    ASSERT_EQ(1u, ShellCalls.size()) << "ShellExecuteW was called";
    EXPECT_EQ("desktop", ShellCalls[0].route);
    const std::vector<RecordedBox> boxes = TakeBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"无法以普通用户身份打开浏览器。请在浏览器中访问：\r\nhttps://zeltra.example/", boxes[0].text);
    EXPECT_EQ(L"Zeltra \u00B7 纸张管理", boxes[0].caption);
    EXPECT_EQ(BoxIcon::Information, boxes[0].icon);
    EXPECT_EQ(MainWindow, boxes[0].owner);
}

// Under Wine the desktop (explorer.exe /desktop) answers the whole route: a script it opens runs.
TEST(DesktopShell, OpensAFileThroughTheDesktopAndLeavesComAsItWas)
{
    wchar_t script[MAX_PATH], marker[MAX_PATH];
    GetFullPathNameW(L"desktop-shell-test.bat", MAX_PATH, script, nullptr);
    GetFullPathNameW(L"desktop-shell-test.txt", MAX_PATH, marker, nullptr);
    DeleteFileW(marker);
    FILE* file = _wfopen(script, L"wb");
    ASSERT_NE(nullptr, file);
    std::fputs("@echo opened> \"%~dp0desktop-shell-test.txt\"\r\n", file);
    std::fclose(file);

    // The desktop registers with the shell windows some time after its process starts.
    ASSERT_TRUE(PumpUntil([&] { return ShellExecuteFromDesktop(script); }, 15000))
        << "the desktop's shell was not reached; is the desktop running?";
    EXPECT_TRUE(PumpUntil([&] { return GetFileAttributesW(marker) != INVALID_FILE_ATTRIBUTES; }, 10000))
        << "the script never ran";
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(S_OK, com) << "COM was left initialised on this thread";
    if (SUCCEEDED(com))
        CoUninitialize();
    DeleteFileW(script);
    DeleteFileW(marker);
}

TEST_F(VendorLinkTest, PointerOverTheLinkShowsTheHand)
{
    const struct {
        POINT client;
        LPCWSTR cursor;
    } cases[] = {{{780, 39}, IDC_HAND}, {{862, 58}, IDC_HAND}, {{400, 39}, IDC_ARROW}};
    for (const auto& c : cases) {
        POINT screen = c.client;
        ClientToScreen(MainWindow, &screen);
        MovePointerTo(screen);
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        SendMessageW(MainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(MainWindow), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(LoadCursorW(nullptr, c.cursor), GetCursor()) << "at (" << c.client.x << ", " << c.client.y << ")";
    }
}

} // namespace

