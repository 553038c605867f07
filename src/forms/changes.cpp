// Adding, resizing and deleting user forms: the only writes this tool makes to the spooler.
#include "app/app.h"
#include "forms/forms.h"

namespace {

const UINT Notice = MB_OK | MB_ICONINFORMATION;

// One change on the selected printer, opened for administration and closed before the table
// is read back; then the confirmation, or the failure with the code taken right after the call.
void ChangeOnSelectedPrinter(FormChange change, const std::wstring& key, const std::wstring& name, int32_t width,
                             int32_t height, const wchar_t* done)
{
    HANDLE printer = nullptr;
    if (!OpenSelectedPrinter(&printer, PRINTER_ALL_ACCESS))
        return;
    const DWORD code = ChangeUserForm(printer, change, key, name, width, height);
    Spooler.ClosePrinter(printer);
    if (code != ERROR_SUCCESS) {
        ShowFailure(std::wstring(FormChangeAction(change)) + L"失败", code);
        return;
    }
    LoadForms();
    ShowMessage(done, AppTitle, Notice);
}

// The selected user form, copied so that it survives the reload; false after telling the user.
bool SelectedUserForm(PaperForm* form, FormChange change)
{
    const int index = SelectedFormIndex();
    if (index < 0) {
        ShowMessage(L"请先选中一个用户自定义纸张。", AppTitle, Notice);
        return false;
    }
    *form = FormCatalogue[static_cast<size_t>(index)];
    if (const wchar_t* notice = ProtectedFormNotice(*form, change)) {
        ShowMessage(notice, AppTitle, Notice);
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
    ChangeOnSelectedPrinter(FormChange::Add, name, name, width, height,
                            L"纸张已添加。\r\n\r\n请关闭浏览器打印窗口后重新打开，检查\u201C纸张尺寸\u201D列表。");
}

void ModifyCustomForm()
{
    PaperForm stored;
    if (!SelectedUserForm(&stored, FormChange::Set))
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
    // Found by the name the catalogue holds; the record carries the name as typed.
    ChangeOnSelectedPrinter(FormChange::Set, stored.name, name, width, height, L"纸张尺寸已修改。");
}

void DeleteCustomForm()
{
    PaperForm stored;
    if (!SelectedUserForm(&stored, FormChange::Delete))
        return;
    const std::wstring question = L"确定删除自定义纸张？\r\n\r\n" + stored.name;
    if (MessageBoxW(MainWindow, question.c_str(), L"确认删除", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    ChangeOnSelectedPrinter(FormChange::Delete, stored.name, stored.name, 0, 0, L"纸张已删除。");
}
