// Adding, resizing and deleting user forms: the only writes this tool makes to the spooler.
#include "app/app.h"
#include "forms/forms.h"

namespace {

const UINT Notice = MB_OK | MB_ICONINFORMATION;

// After the one spooler call succeeded: close, read the table back, then confirm.
void FinishSuccess(HANDLE printer, const wchar_t* text)
{
    Spooler.ClosePrinter(printer);
    LoadForms();
    ShowMessage(text, AppTitle, Notice);
}

// After the one spooler call failed, with the code taken right after that call.
void FinishFailure(HANDLE printer, DWORD code, const wchar_t* action)
{
    Spooler.ClosePrinter(printer);
    const std::wstring caption = std::wstring(action) + L"失败";
    ShowMessage(caption + L"：\r\n" + SystemErrorText(code), caption.c_str(), MB_OK | MB_ICONERROR);
}

// The selected user form, copied so that it survives the reload; false after telling the user.
bool SelectedUserForm(PaperForm* form, const wchar_t* protectedNotice)
{
    const int index = SelectedFormIndex();
    if (index < 0) {
        ShowMessage(L"请先选中一个用户自定义纸张。", AppTitle, Notice);
        return false;
    }
    *form = FormCatalogue[static_cast<size_t>(index)];
    if (IsProtectedForm(form->flags)) {
        ShowMessage(protectedNotice, AppTitle, Notice);
        return false;
    }
    return true;
}

} // namespace

void AddCustomForm()
{
    std::wstring name;
    int32_t width = 0;
    int32_t height = 0;
    if (!ReadEditorFields(&name, &width, &height))
        return;
    if (FindFormByName(FormCatalogue, name) >= 0) {
        ShowMessage(L"已经存在同名纸张。请选中它后使用\u201C修改\u201D。", AppTitle, Notice);
        return;
    }
    HANDLE printer = nullptr;
    if (!OpenSelectedPrinter(&printer, PRINTER_ALL_ACCESS))
        return;
    const DWORD code = AddUserForm(printer, name, width, height);
    if (code == ERROR_SUCCESS)
        FinishSuccess(printer, L"纸张已添加。\r\n\r\n请关闭浏览器打印窗口后重新打开，检查\u201C纸张尺寸\u201D列表。");
    else
        FinishFailure(printer, code, L"添加");
}

void ModifyCustomForm()
{
    PaperForm stored;
    if (!SelectedUserForm(&stored, L"系统内置或打印机纸型受保护，不能修改。"))
        return;
    std::wstring name;
    int32_t width = 0;
    int32_t height = 0;
    if (!ReadEditorFields(&name, &width, &height))
        return;
    if (!NamesEqual(name, stored.name)) {
        ShowMessage(L"测试版修改尺寸时不允许重命名。需要改名时请删除后重新添加。", AppTitle, Notice);
        return;
    }
    HANDLE printer = nullptr;
    if (!OpenSelectedPrinter(&printer, PRINTER_ALL_ACCESS))
        return;
    // Found by the name the catalogue holds; the record carries the name as typed.
    const DWORD code = SetUserForm(printer, stored.name, name, width, height);
    if (code == ERROR_SUCCESS)
        FinishSuccess(printer, L"纸张尺寸已修改。");
    else
        FinishFailure(printer, code, L"修改");
}

void DeleteCustomForm()
{
    PaperForm stored;
    if (!SelectedUserForm(&stored, L"系统内置或打印机纸型受保护，不能删除。"))
        return;
    const std::wstring question = L"确定删除自定义纸张？\r\n\r\n" + stored.name;
    if (MessageBoxW(MainWindow, question.c_str(), L"确认删除", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    HANDLE printer = nullptr;
    if (!OpenSelectedPrinter(&printer, PRINTER_ALL_ACCESS))
        return;
    const DWORD code = DeleteUserForm(printer, stored.name);
    if (code == ERROR_SUCCESS)
        FinishSuccess(printer, L"纸张已删除。");
    else
        FinishFailure(printer, code, L"删除");
}
