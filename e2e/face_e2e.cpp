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
    const std::wstring path = Widen(ZELTRA_E2E_OUTPUT_DIR) + L"/e2e-window.bmp";
    EXPECT_TRUE(shot->SaveBmp(L"Z:" + path)) << "cannot save the picture to " << Narrow(path);

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
    GetWindowRect(tool.Child(AddButton), &button);
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

} // namespace e2e
