// The floor for zeltra-forms.exe's import: the spooler calls an import makes, from a list
// prepared in memory, and nothing else. Linked like zeltra-forms.exe and loading winspool.drv
// from the system folder as it does, so that both pay one process start-up.
//   zeltra_import_floor PRINTER COUNT add   reads the form table, then adds COUNT forms
//   zeltra_import_floor PRINTER COUNT read  reads the form table only: a rerun with nothing to do
//   zeltra_import_floor PRINTER 0 none      loads the spooler and ends: the start-up alone
// Writes the milliseconds its spooler calls took to standard output; exit code 1 when a call
// failed.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "import_list.h"
#include "spooler/spooler.h"

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The two EnumFormsW calls of reading a table: its size, then its records.
bool ReadTable(HANDLE printer)
{
    DWORD needed = 0, returned = 0;
    Spooler.EnumFormsW(printer, 1, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed ? needed : 1);
    return Spooler.EnumFormsW(printer, 1, buffer.data(), needed, &needed, &returned) != FALSE;
}

bool AddAll(HANDLE printer, const std::vector<FORM_INFO_1W>& records)
{
    for (const FORM_INFO_1W& record : records)
        if (!Spooler.AddFormW(printer, 1, reinterpret_cast<BYTE*>(const_cast<FORM_INFO_1W*>(&record))))
            return false;
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    RestrictDllSearch();
    std::wstring missing;
    if (argc != 4 || !LoadSpoolerFunctions(&missing))
        return 1;
    const std::wstring mode = argv[3];
    if (mode == L"none")
        return 0;
    const bool add = mode == L"add";
    if (!add && mode != L"read")
        return 1;
    const std::vector<ListedForm> list = ImportList(std::wcstoul(argv[2], nullptr, 10));
    std::vector<FORM_INFO_1W> records;
    for (const ListedForm& form : list)
        records.push_back(BuildFormInfo(form.name, form.width, form.height));

    const double start = Now();
    HANDLE printer = nullptr;
    const DWORD access = add ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    if (!Spooler.OpenPrinterW(argv[1], &printer, &defaults))
        return 1;
    bool done = ReadTable(printer) && (!add || AddAll(printer, records));
    Spooler.ClosePrinter(printer);
    const double elapsed = Now() - start;

    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.3f\n", elapsed);
    DWORD written = 0;
    done = WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(length), &written, nullptr) && done;
    return done ? 0 : 1;
}
