// Adding, resizing and deleting user forms: the only writes this tool makes to the spooler.
#include "app/app.h"
#include "forms/forms.h"

namespace {

const UINT Notice = MB_OK | MB_ICONINFORMATION;

// After the one spooler call succeeded: close, read the table back, then confirm.
void FinishSuccess(HANDLE printer, const wchar_t* text)
{
    ClosePrinter(printer);
    LoadForms();
    ShowMessage(text, AppTitle, Notice);
}

// After the one spooler call failed: the code is taken before anything else can overwrite it.
void FinishFailure(HANDLE printer, const std::wstring& action)
{
    const DWORD code = GetLastError();
    ClosePrinter(printer);
    const std::wstring caption = action + L"失败";
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

FORM_INFO_1W BuildFormInfo(const std::wstring& name, int32_t width, int32_t height)
{
    FORM_INFO_1W info = {};
    info.Flags = FORM_USER;
    info.pName = const_cast<wchar_t*>(name.c_str());
    info.Size.cx = width;
    info.Size.cy = height;
    info.ImageableArea.left = 0;
    info.ImageableArea.top = 0;
    info.ImageableArea.right = width;
    info.ImageableArea.bottom = height;
    return info;
}

void AddCustomForm()
{
    std::wstring name;
    int32_t width = 0;
    int32_t height = 0;
    if (!ReadEditorFields(&name, &width, &height))
        return;
    for (const PaperForm& form : FormCatalogue) {
        if (NamesEqual(form.name, name)) {
            ShowMessage(L"已经存在同名纸张。请选中它后使用\u201C修改\u201D。", AppTitle, Notice);
            return;
        }
    }
    HANDLE printer = nullptr;
    if (!OpenSelectedPrinter(&printer, PRINTER_ALL_ACCESS))
        return;
    FORM_INFO_1W info = BuildFormInfo(name, width, height);
    if (AddFormW(printer, 1, reinterpret_cast<BYTE*>(&info)))
        FinishSuccess(printer, L"纸张已添加。\r\n\r\n请关闭浏览器打印窗口后重新打开，检查\u201C纸张尺寸\u201D列表。");
    else
        FinishFailure(printer, L"添加");
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
    FORM_INFO_1W info = BuildFormInfo(name, width, height);
    if (SetFormW(printer, &stored.name[0], 1, reinterpret_cast<BYTE*>(&info)))
        FinishSuccess(printer, L"纸张尺寸已修改。");
    else
        FinishFailure(printer, L"修改");
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
    if (DeleteFormW(printer, &stored.name[0]))
        FinishSuccess(printer, L"纸张已删除。");
    else
        FinishFailure(printer, L"删除");
}
