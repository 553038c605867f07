#include "support/message_boxes.h"

#include <deque>

#include <gtest/gtest.h>

#include "support/text.h"

namespace {

HHOOK BoxHook;
BoxPolicy Policy;
std::deque<int> BoxAnswers;
std::vector<RecordedBox> Boxes;

BoxIcon IconOf(HWND dialog)
{
    // The icon static is id 20 on Windows and 1088 in Wine's template.
    for (int id : {20, 1088}) {
        HWND icon = GetDlgItem(dialog, id);
        if (!icon)
            continue;
        HICON shown = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
        if (!shown)
            continue;
        const struct {
            LPCWSTR resource;
            BoxIcon kind;
        } kinds[] = {{IDI_INFORMATION, BoxIcon::Information},
                     {IDI_ERROR, BoxIcon::Error},
                     {IDI_WARNING, BoxIcon::Warning},
                     {IDI_QUESTION, BoxIcon::Question}};
        for (const auto& kind : kinds)
            if (shown == LoadIconW(nullptr, kind.resource))
                return kind.kind;
    }
    return BoxIcon::None;
}

RecordedBox ReadBox(HWND dialog)
{
    RecordedBox box;
    box.owner = GetWindow(dialog, GW_OWNER);
    box.ownerVisible = box.owner && IsWindowVisible(box.owner);
    wchar_t text[4096] = {};
    GetWindowTextW(dialog, text, 4096);
    box.caption = text;
    text[0] = L'\0';
    GetDlgItemTextW(dialog, 0xFFFF, text, 4096);
    box.text = text;
    box.icon = IconOf(dialog);
    box.buttons = VisibleButtons(dialog);
    return box;
}

int ScriptedAnswer(const RecordedBox& box)
{
    if (BoxAnswers.empty()) {
        ADD_FAILURE() << "unexpected message box, caption \"" << Narrow(box.caption) << "\", text \""
                      << Narrow(box.text) << "\"";
        return box.buttons.empty() ? IDOK : box.buttons.back();
    }
    const int answer = BoxAnswers.front();
    BoxAnswers.pop_front();
    return answer;
}

LRESULT CALLBACK BoxHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND dialog = reinterpret_cast<HWND>(wParam);
        wchar_t className[32] = {};
        GetClassNameW(dialog, className, 32);
        if (std::wstring(className) == L"#32770") {
            const RecordedBox box = ReadBox(dialog);
            const int answer = Policy ? Policy(box) : ScriptedAnswer(box);
            Boxes.push_back(box);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, answer)));
        }
    }
    return CallNextHookEx(BoxHook, code, wParam, lParam);
}

} // namespace

std::vector<int> VisibleButtons(HWND box)
{
    std::vector<int> buttons;
    for (int id = IDOK; id <= IDNO; ++id) {
        HWND button = GetDlgItem(box, id);
        if (button && (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE))
            buttons.push_back(id);
    }
    return buttons;
}

bool StartBoxRecorder(BoxPolicy policy)
{
    Policy = std::move(policy);
    BoxAnswers.clear();
    Boxes.clear();
    if (!BoxHook)
        BoxHook = SetWindowsHookExW(WH_CBT, BoxHookProc, nullptr, GetCurrentThreadId());
    return BoxHook != nullptr;
}

void StopBoxRecorder()
{
    if (BoxHook)
        UnhookWindowsHookEx(BoxHook);
    BoxHook = nullptr;
    Policy = nullptr;
}

void ExpectBox(int answer) { BoxAnswers.push_back(answer); }

std::vector<RecordedBox> TakeBoxes()
{
    std::vector<RecordedBox> taken;
    taken.swap(Boxes);
    return taken;
}

void ForgetBoxAnswers() { BoxAnswers.clear(); }

size_t UnusedBoxAnswers() { return BoxAnswers.size(); }
