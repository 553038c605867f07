// Waits for the main window of ZeltraPaper.exe to be shown and idle, then saves what the
// screen shows of it as a 24-bit BMP. Used by `make run` on machines without a display.
#include <windows.h>

#include <cstdio>
#include <vector>

// By path: the program is built without the tests' include folders.
#include "../../tests/support/main_window.h"

namespace {

HWND FindMainWindow(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        HWND window = FindWindowW(MainWindowClassName, nullptr);
        if (window && IsWindowVisible(window))
            return window;
        Sleep(50); // the window belongs to another process; nothing to pump here

    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

bool SaveBitmap(const wchar_t* path, HDC source, int x, int y, int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);

    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD pixelBytes = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + pixelBytes;
    info.bmiHeader.biSizeImage = pixelBytes;

    bool ok = false;
    FILE* out = _wfopen(path, L"wb");
    if (out) {
        ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
             fwrite(bits, 1, pixelBytes, out) == pixelBytes;
        fclose(out);
    }
    DeleteObject(bitmap);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: zeltra_screenshot OUTPUT.bmp [--menu]\n");
        return 2;
    }
    HWND window = FindMainWindow(30000);
    if (!window) {
        fwprintf(stderr, L"zeltra_screenshot: the main window did not appear\n");
        return 1;
    }
    // Once the window answers a sent message its queue has drained, so the first paint is done.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);

    RECT rect;
    GetWindowRect(window, &rect);
    if (argc > 2 && lstrcmpW(argv[2], L"--menu") == 0) {
        // The form list's menu, opened at its second row as a right-click there would.
        RECT list;
        GetWindowRect(GetDlgItem(window, 102), &list);
        PostMessageW(GetDlgItem(window, 102), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetDlgItem(window, 102)),
                     MAKELPARAM(list.left + 60, list.top + 48));
        HWND menu = nullptr;
        for (int i = 0; i < 200 && !(menu && IsWindowVisible(menu)); ++i) {
            Sleep(25); // another process's menu; nothing to pump here
            menu = FindWindowW(L"#32768", nullptr);
        }
        if (!menu) {
            fwprintf(stderr, L"zeltra_screenshot: the menu did not appear\n");
            return 1;
        }
        RedrawWindow(menu, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT shown;
        GetWindowRect(menu, &shown);
        UnionRect(&rect, &rect, &shown);
    }
    HDC screen = GetDC(nullptr);
    const bool saved = SaveBitmap(argv[1], screen, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    ReleaseDC(nullptr, screen);
    if (!saved) {
        fwprintf(stderr, L"zeltra_screenshot: cannot write %ls\n", argv[1]);
        return 1;
    }
    return 0;
}
