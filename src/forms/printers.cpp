// The printer drop-down, opening the chosen printer, and the two ways of telling the user.
#include <vector>

#include "app/app.h"
#include "forms/forms.h"

namespace {

const DWORD PrinterEnumFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
const DWORD DefaultPrinterCapacity = 512; // units incl. NUL: names up to 511 are recognised
const WORD DefaultPrinterOrdinal = 203;

typedef BOOL(WINAPI* GetDefaultPrinterProc)(LPWSTR buffer, LPDWORD count);

// The default-printer query is taken from the spooler by its ordinal.
bool QueryDefaultPrinter(wchar_t* buffer, DWORD* count)
{
    HMODULE spooler = GetModuleHandleW(L"winspool.drv");
    if (!spooler)
        spooler = LoadLibraryW(L"winspool.drv");
    if (!spooler)
        return false;
    GetDefaultPrinterProc query = reinterpret_cast<GetDefaultPrinterProc>(
        reinterpret_cast<void*>(GetProcAddress(spooler, MAKEINTRESOURCEA(DefaultPrinterOrdinal))));
    return query && query(buffer, count);
}

} // namespace

std::wstring SystemErrorText(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (!text)
        return L"未知错误";
    std::wstring result(text);
    LocalFree(text);
    return result;
}

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
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    if (OpenPrinterW(&name[0], handle, &defaults))
        return true;
    if (access != PRINTER_ACCESS_USE && OpenPrinterW(&name[0], handle, nullptr))
        return true;
    const DWORD code = GetLastError();
    ShowMessage(L"无法打开打印机：\r\n" + SystemErrorText(code), L"读取失败", MB_OK | MB_ICONERROR);
    return false;
}

void LoadPrinters()
{
    SendMessageW(PrinterCombo, CB_RESETCONTENT, 0, 0);

    DWORD needed = 0;
    DWORD returned = 0;
    EnumPrintersW(PrinterEnumFlags, nullptr, 2, nullptr, 0, &needed, &returned);
    if (needed == 0) {
        SetStatusText(L"没有检测到已安装的打印机。");
        return;
    }

    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(PrinterEnumFlags, nullptr, 2, buffer.data(), needed, &needed, &returned)) {
        const DWORD code = GetLastError();
        SetStatusText(L"读取打印机失败：" + SystemErrorText(code));
        return;
    }

    wchar_t defaultName[DefaultPrinterCapacity] = {};
    DWORD capacity = DefaultPrinterCapacity;
    if (!QueryDefaultPrinter(defaultName, &capacity))
        defaultName[0] = L'\0';
    defaultName[DefaultPrinterCapacity - 1] = L'\0';
    const std::wstring defaultPrinter(defaultName);

    LRESULT selection = -1;
    const PRINTER_INFO_2W* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        const wchar_t* name = printers[i].pPrinterName ? printers[i].pPrinterName : L"";
        const LRESULT position = SendMessageW(PrinterCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (!defaultPrinter.empty() && NamesEqual(defaultPrinter, name))
            selection = position;
    }
    if (returned > 0)
        SendMessageW(PrinterCombo, CB_SETCURSEL, selection >= 0 ? selection : 0, 0);
}
