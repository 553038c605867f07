// What the screen shows of the running tool: a saved picture and a few pixels of the face.
#include <memory>

#include "scenario.h"

namespace e2e {

namespace {

struct Probe {
    const char* where;
    POINT point; // client coordinates
    COLORREF color;
};

const COLORREF Page = RGB(243, 243, 243);
const COLORREF Panel = RGB(255, 255, 255);
const COLORREF Accent = RGB(0, 103, 192);
const COLORREF DisabledFill = RGB(248, 248, 248);

// Points away from text and from the anti-aliased rounded corners.
const Probe PagePoint = {"page left of the panels", {10, 300}, Page};
const Probe PanelPoint = {"list panel left of the list", {30, 300}, Panel};
const Probe ListPoint = {"list panel below the rows", {300, 400}, Panel};
const Probe AddPoint = {"inside the 添加 button's top-left corner", {784, 506}, Accent};
const Probe DeleteDisabled = {"inside the disabled 删除 button", {632, 506}, DisabledFill};
const Probe DeleteEnabled = {"inside the enabled 删除 button", {632, 506}, Panel};

const COLORREF FrameIdle = RGB(224, 224, 224);
const COLORREF FrameHover = RGB(180, 180, 180);
const COLORREF FrameFocus = Accent;

// The pointer moves and the button goes down and up as the user's hand does it.
void MoveMouseTo(POINT screen)
{
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ASSERT_EQ(1u, SendInput(1, &move, sizeof(move)));
}

void ClickAt(POINT screen)
{
    MoveMouseTo(screen);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(2u, SendInput(2, click, sizeof(INPUT)));
}

void TypeKeys(const std::wstring& text)
{
    for (wchar_t unit : text) {
        INPUT key[2] = {};
        key[0].type = key[1].type = INPUT_KEYBOARD;
        key[0].ki.wScan = key[1].ki.wScan = unit;
        key[0].ki.dwFlags = KEYEVENTF_UNICODE;
        key[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        ASSERT_EQ(2u, SendInput(2, key, sizeof(INPUT)));
    }
}

POINT CentreOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

POINT ScreenPoint(HWND main, POINT client)
{
    ClientToScreen(main, &client);
    return client;
}

class FaceScenario : public Scenario {
protected:
    // Captures until every probe shows its colour (painting runs after the driver's last reply).
    std::unique_ptr<Capture> CaptureShowing(const std::vector<Probe>& probes)
    {
        std::unique_ptr<Capture> shot;
        tool.WaitUntil(
            [&] {
                shot.reset(new Capture(tool.MainWindow()));
                for (const Probe& probe : probes)
                    if (shot->ClientPixel(probe.point.x, probe.point.y) != probe.color)
                        return false;
                return true;
            },
            "waiting for the screen to show the painted face");
        for (const Probe& probe : probes)
            EXPECT_EQ(ColorText(probe.color), ColorText(shot->ClientPixel(probe.point.x, probe.point.y)))
                << probe.where << " at client (" << probe.point.x << ", " << probe.point.y << ")";
        return shot;
    }

    // The middle of an edit box's top frame line, where the frame's colour shows.
    Probe FrameOf(int id, const char* where, COLORREF color)
    {
        RECT rect;
        GetWindowRect(tool.Child(id), &rect);
        POINT top = {(rect.left + rect.right) / 2, rect.top};
        ScreenToClient(tool.MainWindow(), &top);
        return {where, top, color};
    }
};

} // namespace

TEST_F(FaceScenario, TheShownWindowIsPaintedInThePaletteAndTheDeleteButtonFollowsTheSelection)
{
    state.Write(OfficeState());
    tool.Start(state);
    RECT rect;
    GetWindowRect(tool.MainWindow(), &rect);
    ASSERT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= GetSystemMetrics(SM_CXSCREEN) &&
                rect.bottom <= GetSystemMetrics(SM_CYSCREEN))
        << "the window (" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom
        << ") is not wholly on the screen, so the screen cannot show it";
    RECT client;
    GetClientRect(tool.MainWindow(), &client);
    EXPECT_GE(client.right, 876) << "client width";
    EXPECT_GE(client.bottom, 558) << "client height";

    std::unique_ptr<Capture> shot = CaptureShowing({PagePoint, PanelPoint, ListPoint, AddPoint, DeleteDisabled});
    const std::wstring path = WindowsPath(ZELTRA_E2E_OUTPUT_DIR "/e2e-window.bmp");
    EXPECT_TRUE(shot->SaveBmp(path)) << "cannot save the picture to " << Narrow(path);

    tool.SelectRow(1);
    CaptureShowing({DeleteEnabled, AddPoint});
    tool.SelectRow(-1);
    CaptureShowing({DeleteDisabled});
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines());
}

TEST_F(FaceScenario, HoldingTheAddButtonDownDarkensItAndReleasingOutsideAddsNothing)
{
    state.Write(OfficeState());
    const std::string before = state.Read();
    tool.Start(state);
    CaptureShowing({AddPoint});
    RECT button;
    GetWindowRect(tool.Child(IDC_ADD_BUTTON), &button);
    // The pointer goes where a user's would, and the button is held down with real input.
    ASSERT_TRUE(SetCursorPos((button.left + button.right) / 2, (button.top + button.bottom) / 2));
    INPUT press = {};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    ASSERT_EQ(1u, SendInput(1, &press, sizeof(press)));
    const Probe pressed = {"inside the held-down 添加 button", {784, 506}, RGB(0, 82, 153)};
    const Probe ring = {"the 添加 button's outline while held down", {778 + 40, 500}, Accent};
    CaptureShowing({pressed, ring});
    // Released away from the button: no click, so nothing is added.
    ASSERT_TRUE(SetCursorPos(button.left - 200, button.top - 200));
    INPUT release = {};
    release.type = INPUT_MOUSE;
    release.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(1u, SendInput(1, &release, sizeof(release)));
    CaptureShowing({AddPoint});
    tool.Close();
    EXPECT_EQ(before, state.Read()) << "a press released outside the button must not add";
}

TEST_F(FaceScenario, EditFramesFollowThePointerAndTheFocusAndTypingKeepsThem)
{
    state.Write(OfficeState());
    tool.Start(state);
    CaptureShowing({AddPoint});
    const POINT page = ScreenPoint(tool.MainWindow(), PagePoint.point);
    MoveMouseTo(page);
    CaptureShowing({FrameOf(IDC_WIDTH_EDIT, "the idle 宽度 box", FrameIdle),
                    FrameOf(IDC_HEIGHT_EDIT, "the idle 高度 box", FrameIdle)});

    MoveMouseTo(CentreOf(tool.Child(IDC_WIDTH_EDIT)));
    CaptureShowing({FrameOf(IDC_WIDTH_EDIT, "the 宽度 box under the pointer", FrameHover),
                    FrameOf(IDC_HEIGHT_EDIT, "the 高度 box away from it", FrameIdle)});

    // Clicking into the name box gives it the focus frame; the box left behind loses its hover.
    ClickAt(CentreOf(tool.Child(IDC_NAME_EDIT)));
    CaptureShowing({FrameOf(IDC_NAME_EDIT, "the 名称 box clicked into", FrameFocus),
                    FrameOf(IDC_WIDTH_EDIT, "the 宽度 box the pointer left", FrameIdle)});

    MoveMouseTo(CentreOf(tool.Child(IDC_HEIGHT_EDIT)));
    CaptureShowing({FrameOf(IDC_HEIGHT_EDIT, "the 高度 box under the pointer", FrameHover),
                    FrameOf(IDC_NAME_EDIT, "the focused 名称 box", FrameFocus)});

    // Off every box: the hover ends when the leave notice comes, the focus stays.
    MoveMouseTo(page);
    CaptureShowing({FrameOf(IDC_HEIGHT_EDIT, "the 高度 box after the pointer left", FrameIdle),
                    FrameOf(IDC_NAME_EDIT, "the focused 名称 box", FrameFocus)});

    // Real keys into the focused box, at the caret the click left: the box repaints its text
    // and the frame stays on top of the box's own paint.
    const std::string before = tool.Text(IDC_NAME_EDIT);
    TypeKeys(L"Zx");
    const auto typed = [&] {
        std::string now = tool.Text(IDC_NAME_EDIT);
        const size_t at = now.find("Zx");
        return at != std::string::npos && now.erase(at, 2) == before;
    };
    tool.WaitUntil(typed, "the typed keys to reach the 名称 box");
    CaptureShowing({FrameOf(IDC_NAME_EDIT, "the 名称 box after typing", FrameFocus)});
    tool.Close();
    EXPECT_EQ(OfficeForms(), state.FormLines()) << "typing and pointing change no form";
}

TEST_F(FaceScenario, ThePointerChangesOverTheVendorLinkOnly)
{
    state.Write(OfficeState());
    tool.Start(state);
    CaptureShowing({AddPoint});
    // Another process's cursor handles cannot be compared with ours, so the check is that
    // the pointer changes over the link and changes back just below it.
    const auto shownCursor = [] {
        CURSORINFO info = {};
        info.cbSize = sizeof(info);
        return GetCursorInfo(&info) ? info.hCursor : nullptr;
    };
    MoveMouseTo(ScreenPoint(tool.MainWindow(), {780, 100}));
    HCURSOR ordinary = nullptr;
    tool.WaitUntil(
        [&] {
            ordinary = shownCursor();
            return ordinary != nullptr;
        },
        "a pointer over the printer panel");
    MoveMouseTo(ScreenPoint(tool.MainWindow(), {780, 39}));
    tool.WaitUntil([&] { return shownCursor() != nullptr && shownCursor() != ordinary; },
                   "another pointer over the vendor link");
    MoveMouseTo(ScreenPoint(tool.MainWindow(), {780, 64}));
    tool.WaitUntil([&] { return shownCursor() == ordinary; }, "the ordinary pointer just below the link");
    tool.Close();
}

} // namespace e2e
