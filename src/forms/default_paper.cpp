// The form list's context menu: the printer's default paper and whether its driver offers a form.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include "app/app.h"
#include "forms/forms.h"

BOOL(WINAPI* TrackMenuHook)(HMENU, UINT, int, int, int, HWND, const RECT*) = &TrackPopupMenu;

namespace {

const UINT Notice = MB_OK | MB_ICONINFORMATION;
const wchar_t SetFailedCaption[] = L"设置默认纸张失败";

// Each of these calls loads the printer's driver, which on a network printer can take seconds.
HCURSOR ShowWaitCursor()
{
    return SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

// The list row a menu is for: under the pointer, or the selected one from the keyboard.
int MenuRow(LPARAM screenPoint, POINT* at)
{
    if (GET_X_LPARAM(screenPoint) == -1 && GET_Y_LPARAM(screenPoint) == -1) {
        const int row = static_cast<int>(SendMessageW(FormList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        RECT rect = {};
        rect.left = LVIR_LABEL;
        // A selected row scrolled out of sight comes into view, so the menu stands beside it.
        if (row >= 0)
            SendMessageW(FormList, LVM_ENSUREVISIBLE, row, FALSE);
        if (row < 0 || !SendMessageW(FormList, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect)))
            return -1;
        at->x = rect.left;
        at->y = rect.bottom;
        ClientToScreen(FormList, at);
        return row;
    }
    at->x = GET_X_LPARAM(screenPoint);
    at->y = GET_Y_LPARAM(screenPoint);
    LVHITTESTINFO hit = {};
    hit.pt = *at;
    ScreenToClient(FormList, &hit.pt);
    return static_cast<int>(SendMessageW(FormList, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

std::wstring CurrentDefaultLine(const std::wstring& printer)
{
    std::wstring name;
    WORD id = 0;
    if (ReadDefaultPaper(printer, &name, &id) != ERROR_SUCCESS)
        return L"当前默认纸张：无法读取";
    return L"当前默认纸张：" + DefaultPaperName(name, id);
}

void MakeDefault(const std::wstring& printer, const PaperForm& form, bool allUsers)
{
    DWORD code = ERROR_SUCCESS;
    std::wstring text;
    const HCURSOR previous = ShowWaitCursor();
    const PaperOutcome outcome = SetDefaultPaper(printer, form, allUsers, &code, &text);
    SetCursor(previous);
    if (outcome == PaperOutcome::Failed)
        ShowFailure(SetFailedCaption, code);
    else if (outcome == PaperOutcome::NotAccepted)
        ShowMessage(text, SetFailedCaption, MB_OK | MB_ICONERROR);
    else
        ShowMessage(text, AppTitle, Notice);
}

void CheckPaper(const std::wstring& printer, const PaperForm& form)
{
    PaperCheck check;
    const HCURSOR previous = ShowWaitCursor();
    const DWORD code = CheckDriverPaper(printer, form, &check);
    SetCursor(previous);
    if (code != ERROR_SUCCESS) {
        ShowFailure(L"检查失败", code);
        return;
    }
    ShowMessage(CheckResultText(printer, form, check), AppTitle, Notice);
}

} // namespace

void ShowFormMenu(LPARAM screenPoint)
{
    POINT at = {};
    const int row = MenuRow(screenPoint, &at);
    const int index = CatalogueIndexOfRow(row);
    if (index < 0)
        return;
    // A copy: the catalogue may be read anew while a box is up.
    const PaperForm form = FormCatalogue[static_cast<size_t>(index)];
    const std::wstring printer = SelectedPrinterName();
    if (printer.empty()) {
        ShowMessage(L"请先选择打印机。", AppTitle, Notice);
        return;
    }

    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    const HCURSOR previous = ShowWaitCursor();
    const std::wstring current = CurrentDefaultLine(printer);
    SetCursor(previous);
    AppendMenuW(menu, MF_STRING | MF_GRAYED, IDM_CURRENT_DEFAULT, current.c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_DEFAULT_FOR_USER, L"设为默认纸张（当前用户）");
    AppendMenuW(menu, MF_STRING, IDM_DEFAULT_FOR_ALL, L"设为默认纸张（所有用户）");
    AppendMenuW(menu, MF_STRING, IDM_CHECK_PAPER, L"检查打印机是否提供此纸张");
    const UINT command = static_cast<UINT>(
        TrackMenuHook(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, MainWindow, nullptr));
    DestroyMenu(menu);

    if (command == IDM_DEFAULT_FOR_USER || command == IDM_DEFAULT_FOR_ALL)
        MakeDefault(printer, form, command == IDM_DEFAULT_FOR_ALL);
    else if (command == IDM_CHECK_PAPER)
        CheckPaper(printer, form);
}
