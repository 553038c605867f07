// The printer drop-down, opening the chosen printer, and the two ways of telling the user.
#include <vector>

#include "app/app.h"
#include "forms/forms.h"
#include "spooler/spooler.h"

int ShowMessage(const std::wstring& text, const wchar_t* caption, UINT style)
{
    return MessageBoxW(MainWindow, text.c_str(), caption, style);
}

void SetStatusText(const std::wstring& text)
{
    SetWindowTextW(StatusText, text.c_str());
}

std::wstring SelectedPrinterName()
{
    const int length = GetWindowTextLengthW(PrinterCombo);
    if (length <= 0)
        return std::wstring();
    std::wstring name(static_cast<size_t>(length), L'\0');
    const int copied = GetWindowTextW(PrinterCombo, &name[0], length + 1);
    // A text shorter than announced must not leave NULs inside the name.
    name.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return name;
}

bool OpenSelectedPrinter(HANDLE* handle, DWORD access)
{
    std::wstring name = SelectedPrinterName();
    if (name.empty()) {
        ShowMessage(L"请先选择打印机。", AppTitle, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    const DWORD code = OpenPrinterFor(name, access, handle);
    if (code == ERROR_SUCCESS)
        return true;
    ShowMessage(L"无法打开打印机：\r\n" + SystemErrorText(code), L"读取失败", MB_OK | MB_ICONERROR);
    return false;
}

void LoadPrinters()
{
    SendMessageW(PrinterCombo, CB_RESETCONTENT, 0, 0);

    std::vector<std::wstring> printers;
    const DWORD code = ListPrinters(&printers);
    if (code != ERROR_SUCCESS) {
        SetStatusText(L"读取打印机失败：" + SystemErrorText(code));
        return;
    }
    if (printers.empty()) {
        SetStatusText(L"没有检测到已安装的打印机。");
        return;
    }

    std::wstring defaultPrinter;
    QueryDefaultPrinter(&defaultPrinter);

    LRESULT selection = -1;
    for (const std::wstring& name : printers) {
        const LRESULT position = SendMessageW(PrinterCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (!defaultPrinter.empty() && NamesEqual(defaultPrinter, name))
            selection = position;
    }
    SendMessageW(PrinterCombo, CB_SETCURSEL, selection >= 0 ? selection : 0, 0);
}
