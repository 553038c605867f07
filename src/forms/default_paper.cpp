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

// The list row a menu is for: under the pointer, or the selected one from the keyboard.
int MenuRow(LPARAM screenPoint, POINT* at)
{
    if (GET_X_LPARAM(screenPoint) == -1 && GET_Y_LPARAM(screenPoint) == -1) {
        const int row = static_cast<int>(SendMessageW(FormList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        RECT rect = {};
        rect.left = LVIR_LABEL;
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
    if (name.empty())
        return L"当前默认纸张：驱动程序列表中没有的纸张（编号 " + DecimalText(id) + L"）";
    return L"当前默认纸张：" + name;
}

void MakeDefault(const std::wstring& printer, const PaperForm& form, bool allUsers)
{
    DWORD code = ERROR_SUCCESS;
    std::wstring current;
    switch (SetDefaultPaper(printer, form, allUsers, &code, &current)) {
    case PaperOutcome::Done:
        ShowMessage(DefaultPaperSetText(printer, form.name, allUsers), AppTitle, Notice);
        break;
    case PaperOutcome::NotOffered: {
        PaperCheck check;
        CheckDriverPaper(printer, form, &check);
        ShowMessage(DescribePaperCheck(printer, form, check) + L"\r\n\r\n未做任何更改。", AppTitle, Notice);
        break;
    }
    case PaperOutcome::Failed:
        ShowMessage(std::wstring(SetFailedCaption) + L"：\r\n" + SystemErrorText(code), SetFailedCaption,
                    MB_OK | MB_ICONERROR);
        break;
    case PaperOutcome::NotAccepted:
        ShowMessage(L"打印机驱动程序没有接受新的默认纸张。\r\n当前默认纸张仍是：" +
                        (current.empty() ? std::wstring(L"驱动程序列表中没有的纸张") : current),
                    SetFailedCaption, MB_OK | MB_ICONERROR);
        break;
    }
}

void CheckPaper(const std::wstring& printer, const PaperForm& form)
{
    PaperCheck check;
    const DWORD code = CheckDriverPaper(printer, form, &check);
    if (code != ERROR_SUCCESS) {
        ShowMessage(L"检查失败：\r\n" + SystemErrorText(code), L"检查失败", MB_OK | MB_ICONERROR);
        return;
    }
    ShowMessage(DescribePaperCheck(printer, form, check), AppTitle, Notice);
}

} // namespace

void ShowFormMenu(LPARAM screenPoint)
{
    POINT at = {};
    const int row = MenuRow(screenPoint, &at);
    if (row < 0 || static_cast<size_t>(row) >= VisibleRows.size() || VisibleRows[static_cast<size_t>(row)] >= FormCatalogue.size())
        return;
    // A copy: the catalogue may be read anew while a box is up.
    const PaperForm form = FormCatalogue[static_cast<size_t>(VisibleRows[static_cast<size_t>(row)])];
    const std::wstring printer = SelectedPrinterName();
    if (printer.empty()) {
        ShowMessage(L"请先选择打印机。", AppTitle, Notice);
        return;
    }

    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    AppendMenuW(menu, MF_STRING | MF_GRAYED, IDM_CURRENT_DEFAULT, CurrentDefaultLine(printer).c_str());
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
