// GDI hygiene: a thousand paints of the window face, of the owner-drawn buttons and of the
// edit frames must leave the process holding no more GDI objects than after the first.
#include <windows.h>
#include <winternl.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/app.h"
#include "harness/harness.h"
#include "standin.h"
#include "style/style.h"

namespace {

// One entry of the GDI handle table the PEB points at (GdiSharedHandleTable); the layout
// is the same 24 bytes on 64-bit Windows and Wine. An entry whose type is 0 is free.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle table entries are 24 bytes on x64");
const size_t GdiHandleCount = 0x10000;
const size_t PebGdiSharedHandleTable = 0xF8; // offset in the 64-bit PEB

const GdiHandleEntry* GdiHandleTable()
{
    typedef NTSTATUS(NTAPI * QueryProcess)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const QueryProcess query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return nullptr;
    const BYTE* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    return *reinterpret_cast<const GdiHandleEntry* const*>(peb + PebGdiSharedHandleTable);
}

// Live GDI objects of this process by type. Windows counts them in GetGuiResources; Wine 8
// answers 0 there ("not implemented"), so the handle table itself is counted instead. On
// Windows the table is shared by all processes, so only our own entries are taken.
std::map<int, size_t> GdiObjectsByType()
{
    std::map<int, size_t> byType;
    const GdiHandleEntry* table = GdiHandleTable();
    if (!table)
        return byType;
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const uint16_t pid = static_cast<uint16_t>(GetCurrentProcessId());
    for (size_t i = 0; i < GdiHandleCount; ++i) {
        if (table[i].type == 0)
            continue;
        if (!wine && static_cast<uint16_t>(table[i].owner & 0xFFFF) != pid)
            continue;
        ++byType[table[i].type];
    }
    return byType;
}

size_t GdiObjectsHeld()
{
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0)
        return reported;
    size_t total = 0;
    for (const auto& entry : GdiObjectsByType())
        total += entry.second;
    return total;
}

std::string Describe(const std::map<int, size_t>& byType)
{
    // Type numbers of the handle table: 1 DC, 4 region, 5 bitmap, 8 palette, 10 font, 16 brush (pens too).
    std::string text;
    for (const auto& entry : byType)
        text += " type " + std::to_string(entry.first) + ": " + std::to_string(entry.second) + ";";
    return text;
}

// --- Counting the paints that really happened, so the loops cannot pass by doing nothing ---

std::map<HWND, WNDPROC> PreviousProcs;
size_t FacePaints;
size_t ButtonDraws;
size_t FramePaints;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == MainWindow && message == WM_PAINT)
        ++FacePaints;
    if (window == MainWindow && message == WM_DRAWITEM)
        ++ButtonDraws;
    if (window != MainWindow &&
        (message == WM_PAINT || message == WM_NCPAINT || message == WM_SETFOCUS || message == WM_KILLFOCUS ||
         message == WM_MOUSEMOVE || message == WM_MOUSELEAVE))
        ++FramePaints;
    return CallWindowProcW(PreviousProcs[window], window, message, wParam, lParam);
}

void CountMessagesOf(HWND window)
{
    PreviousProcs[window] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
}

const char OnePrinter[] =
    "admin yes\nstandard-forms no\nprinter \"Gdi Printer\"\ndefault \"Gdi Printer\"\n"
    "form user 241000 93000 0 0 241000 93000 \"Gdi Form\"\n"
    "form builtin 210000 297000 0 0 210000 297000 \"A4\"\n";

class GdiTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        UseSpoolerState(OnePrinter);
        ASSERT_NE(nullptr, OpenMainWindow());
        ShowMainWindow();
        SetForegroundWindow(MainWindow);
        PreviousProcs.clear();
        CountMessagesOf(MainWindow);
        for (HWND edit : {SearchEdit, NameEdit, WidthEdit, HeightEdit})
            CountMessagesOf(edit);
        PumpPending();
    }
    void TearDown() override
    {
        for (const auto& entry : PreviousProcs)
            if (IsWindow(entry.first))
                SetWindowLongPtrW(entry.first, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entry.second));
        PreviousProcs.clear();
        MainWindowTest::TearDown();
    }

    // Runs step(i) a few times to let caches fill, takes the count, runs it a thousand
    // times more and compares.
    void ExpectNoGrowth(const std::function<void(int)>& step, size_t* paints, const char* what)
    {
        for (int i = 0; i < 50; ++i)
            step(i);
        PumpPending();
        const std::map<int, size_t> firstByType = GdiObjectsByType();
        const size_t first = GdiObjectsHeld();
        const size_t paintsBefore = *paints;
        for (int i = 0; i < 1000; ++i)
            step(i);
        PumpPending();
        const size_t after = GdiObjectsHeld();
        EXPECT_GE(*paints - paintsBefore, 1000u) << what << ": the loop did not paint a thousand times";
        EXPECT_LE(after, first) << what << ": GDI objects grew from " << first << " to " << after
                                << "\n  after the first:" << Describe(firstByType)
                                << "\n  after a thousand:" << Describe(GdiObjectsByType());
    }
};

} // namespace

TEST(GdiCounter, SeesEveryObjectThisProcessCreatesAndDeletes)
{
    const size_t before = GdiObjectsHeld();
    ASSERT_GT(before, 0u) << "no way to count GDI objects";
    std::vector<HGDIOBJ> objects;
    for (int i = 0; i < 100; ++i)
        objects.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    EXPECT_EQ(before + 100, GdiObjectsHeld());
    for (int i = 0; i < 10; ++i)
        objects.push_back(CreatePen(PS_SOLID, 1, RGB(0, i, 0)));
    LOGFONTW font = {};
    font.lfHeight = -12;
    for (int i = 0; i < 5; ++i)
        objects.push_back(CreateFontIndirectW(&font));
    for (int i = 0; i < 3; ++i)
        objects.push_back(CreateBitmap(8, 8, 1, 32, nullptr));
    EXPECT_EQ(before + 118, GdiObjectsHeld());
    HDC memory = CreateCompatibleDC(nullptr);
    EXPECT_EQ(before + 119, GdiObjectsHeld());
    DeleteDC(memory);
    for (HGDIOBJ object : objects)
        DeleteObject(object);
    EXPECT_EQ(before, GdiObjectsHeld());
}

TEST_F(GdiTest, PaintingTheWindowFaceAThousandTimesHoldsNoMoreObjects)
{
    ExpectNoGrowth(
        [](int) {
            InvalidateRect(MainWindow, nullptr, FALSE);
            UpdateWindow(MainWindow);
        },
        &FacePaints, "window face");
}

TEST_F(GdiTest, DrawingPressingEnablingAndDisablingButtonsAThousandTimesHoldsNoMoreObjects)
{
    const HWND buttons[] = {RefreshButton,   PresetHalfButton, PresetThirdButton, Preset101Button,
                            Preset127Button, DeleteButton,     ModifyButton,      AddButton};
    ExpectNoGrowth(
        [&](int i) {
            HWND button = buttons[i % 8];
            switch ((i / 8) % 4) {
            case 0: // repainted
                InvalidateRect(button, nullptr, FALSE);
                break;
            case 1: // pressed and released
                SendMessageW(button, BM_SETSTATE, TRUE, 0);
                UpdateWindow(button);
                SendMessageW(button, BM_SETSTATE, FALSE, 0);
                break;
            case 2: // disabled and enabled again
                EnableWindow(button, FALSE);
                UpdateWindow(button);
                EnableWindow(button, TRUE);
                break;
            default: // a preset pressed for real: fills and re-centres the edit boxes
                ClickButton(PresetThirdButton);
                InvalidateRect(button, nullptr, FALSE);
                break;
            }
            UpdateWindow(button);
        },
        &ButtonDraws, "buttons");
}

TEST_F(GdiTest, RepaintingEditFramesOnFocusHoverAndNonClientPaintAThousandTimesHoldsNoMoreObjects)
{
    const HWND edits[] = {SearchEdit, NameEdit, WidthEdit, HeightEdit};
    ExpectNoGrowth(
        [&](int i) {
            HWND edit = edits[i % 4];
            switch ((i / 4) % 4) {
            case 0:
                SetFocus(edit); // the focus frame here, the idle frame on the box that had it
                break;
            case 1:
                SendMessageW(edit, WM_NCPAINT, 1, 0);
                break;
            case 2: // hovered, then left
                SendMessageW(edit, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
                SendMessageW(edit, WM_MOUSELEAVE, 0, 0);
                break;
            default:
                InvalidateRect(edit, nullptr, TRUE);
                UpdateWindow(edit);
                break;
            }
        },
        &FramePaints, "edit frames");
}
