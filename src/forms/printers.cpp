// The printer drop-down and opening the chosen printer.
#include <vector>

#include "app/app.h"
#include "forms/forms.h"
#include "spooler/spooler.h"

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

void ReportPrinterUnavailable(const std::wstring& name, DWORD code)
{
    if (name.empty())
        ShowMessage(L"请先选择打印机。", AppTitle, MB_OK | MB_ICONINFORMATION);
    else
        ShowMessage(L"无法打开打印机：\r\n" + SystemErrorText(code), L"读取失败", MB_OK | MB_ICONERROR);
}

bool OpenSelectedPrinter(HANDLE* handle, DWORD access)
{
    const std::wstring name = SelectedPrinterName();
    const DWORD code = name.empty() ? ERROR_INVALID_PRINTER_NAME : OpenPrinterFor(name, access, handle);
    if (code == ERROR_SUCCESS)
        return true;
    ReportPrinterUnavailable(name, code);
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
