// The spooler calls both tools make. Each takes the error code right after the call that
// failed, before anything else can overwrite it, and leaves closing the printer to the caller.
#include "spooler/spooler.h"

namespace {

const DWORD PrinterEnumFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
const DWORD DefaultPrinterCapacity = 512; // units incl. NUL: names up to 511 are recognised

// No more records than the bytes the spooler filled can hold.
DWORD RecordsIn(size_t bytes, size_t recordSize, DWORD returned)
{
    const size_t fit = bytes / recordSize;
    return returned < fit ? returned : static_cast<DWORD>(fit);
}

} // namespace

DWORD LastFailureCode()
{
    const DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE;
}

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

DWORD ListPrinters(std::vector<std::wstring>* names)
{
    names->clear();
    DWORD needed = 0;
    DWORD returned = 0;
    // Only a sizing call that succeeds, or asks for room, says how many printers there are: a
    // stopped spooler fails it with 1722 and reports 0 bytes, which is not "no printers".
    if (!Spooler.EnumPrintersW(PrinterEnumFlags, nullptr, 4, nullptr, 0, &needed, &returned) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return LastFailureCode();
    if (needed == 0)
        return ERROR_SUCCESS;

    std::vector<BYTE> buffer(needed);
    if (!Spooler.EnumPrintersW(PrinterEnumFlags, nullptr, 4, buffer.data(), needed, &needed, &returned))
        return LastFailureCode();
    const PRINTER_INFO_4W* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    const DWORD count = RecordsIn(buffer.size(), sizeof(PRINTER_INFO_4W), returned);
    for (DWORD i = 0; i < count; ++i)
        names->push_back(printers[i].pPrinterName ? printers[i].pPrinterName : L"");
    return ERROR_SUCCESS;
}

DWORD QueryDefaultPrinter(std::wstring* name)
{
    name->clear();
    wchar_t buffer[DefaultPrinterCapacity] = {};
    DWORD capacity = DefaultPrinterCapacity;
    if (!Spooler.GetDefaultPrinterW(buffer, &capacity))
        return LastFailureCode();
    buffer[DefaultPrinterCapacity - 1] = L'\0';
    *name = buffer;
    return name->empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

namespace {

// OpenPrinterW with the access asked for; a refusal of more than the plain access is retried
// with no defaults, which the spooler grants what the caller may have. name null: the server.
DWORD OpenWithRetry(wchar_t* name, DWORD access, DWORD plainAccess, HANDLE* handle)
{
    *handle = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    if (Spooler.OpenPrinterW(name, handle, &defaults))
        return ERROR_SUCCESS;
    if (access != plainAccess && Spooler.OpenPrinterW(name, handle, nullptr))
        return ERROR_SUCCESS;
    *handle = nullptr;
    return LastFailureCode();
}

} // namespace

DWORD OpenPrinterFor(const std::wstring& name, DWORD access, HANDLE* printer)
{
    std::wstring copy(name);
    return OpenWithRetry(&copy[0], access, PRINTER_ACCESS_USE, printer);
}

DWORD OpenPrintServer(DWORD access, HANDLE* server)
{
    return OpenWithRetry(nullptr, access, SERVER_ACCESS_ENUMERATE, server);
}

DWORD OpenFormTable(const std::wstring& printer, bool change, HANDLE* handle)
{
    if (printer.empty())
        return OpenPrintServer(change ? SERVER_ALL_ACCESS : SERVER_ACCESS_ENUMERATE, handle);
    return OpenPrinterFor(printer, change ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE, handle);
}

DWORD ReadForms(HANDLE printer, std::vector<PaperForm>* forms)
{
    forms->clear();
    DWORD needed = 0;
    DWORD returned = 0;
    // A spooler that answers an empty table without setting the code must not leave a stale one.
    SetLastError(ERROR_SUCCESS);
    Spooler.EnumFormsW(printer, 1, nullptr, 0, &needed, &returned);
    const DWORD code = GetLastError();
    // Some spoolers report an empty table with code 0 instead of a size and code 122.
    if (needed == 0)
        return code == ERROR_INSUFFICIENT_BUFFER ? ERROR_SUCCESS : code;

    std::vector<BYTE> buffer(needed);
    if (!Spooler.EnumFormsW(printer, 1, buffer.data(), needed, &needed, &returned))
        return LastFailureCode();
    const FORM_INFO_1W* records = reinterpret_cast<const FORM_INFO_1W*>(buffer.data());
    const DWORD count = RecordsIn(buffer.size(), sizeof(FORM_INFO_1W), returned);
    forms->reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        PaperForm form;
        if (records[i].pName)
            form.name = records[i].pName;
        form.width = records[i].Size.cx;
        form.height = records[i].Size.cy;
        form.flags = records[i].Flags;
        forms->push_back(form);
    }
    return ERROR_SUCCESS;
}

DWORD ReadPrinterForms(const std::wstring& printer, std::vector<PaperForm>* forms, bool* opened)
{
    forms->clear();
    HANDLE handle = nullptr;
    DWORD code = OpenFormTable(printer, false, &handle);
    *opened = code == ERROR_SUCCESS;
    if (!*opened)
        return code;
    code = ReadForms(handle, forms);
    Spooler.ClosePrinter(handle);
    return code;
}

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

DWORD AddUserForm(HANDLE printer, const std::wstring& name, int32_t width, int32_t height)
{
    FORM_INFO_1W info = BuildFormInfo(name, width, height);
    return Spooler.AddFormW(printer, 1, reinterpret_cast<BYTE*>(&info)) ? ERROR_SUCCESS : LastFailureCode();
}

DWORD SetUserForm(HANDLE printer, const std::wstring& key, const std::wstring& recordName, int32_t width,
                  int32_t height)
{
    std::wstring keyCopy(key);
    FORM_INFO_1W info = BuildFormInfo(recordName, width, height);
    return Spooler.SetFormW(printer, &keyCopy[0], 1, reinterpret_cast<BYTE*>(&info)) ? ERROR_SUCCESS
                                                                                     : LastFailureCode();
}

DWORD DeleteUserForm(HANDLE printer, const std::wstring& name)
{
    std::wstring copy(name);
    return Spooler.DeleteFormW(printer, &copy[0]) ? ERROR_SUCCESS : LastFailureCode();
}

DWORD ChangeUserForm(HANDLE printer, FormChange change, const std::wstring& key, const std::wstring& name,
                     int32_t width, int32_t height)
{
    if (change == FormChange::Add)
        return AddUserForm(printer, name, width, height);
    if (change == FormChange::Set)
        return SetUserForm(printer, key, name, width, height);
    return DeleteUserForm(printer, key);
}
