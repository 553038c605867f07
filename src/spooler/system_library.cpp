// Loading the spooler and other non-known DLLs. The tool runs elevated, and Windows looks
// for a DLL that is not on its known-DLL list in the exe's own folder first: a winspool.drv
// dropped beside the exe (in Downloads, say) would run with administrator rights. So these
// DLLs are never imported; they are loaded by full path from the system folder.
#include "spooler/spooler.h"

SpoolerFunctions Spooler;

namespace {

// Spoolers that export the default-printer query by number alone have it at 203.
const WORD DefaultPrinterOrdinal = 203;

// Resolves one entry by name; when ordinal is not 0 and the name is missing, by that ordinal.
template <typename Function>
bool Resolve(HMODULE module, const char* name, WORD ordinal, Function* slot, std::wstring* missing)
{
    FARPROC address = GetProcAddress(module, name);
    if (!address && ordinal)
        address = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    if (!address) {
        *missing = std::wstring(name, name + lstrlenA(name));
        return false;
    }
    *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    return true;
}

} // namespace

void RestrictDllSearch()
{
    SetDllDirectoryW(L"");
    // Windows 7 has SetDefaultDllDirectories only with its security update, so it is looked up
    // in kernel32, which every process has loaded already.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(
                                         GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                   : nullptr;
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* fileName)
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path(folder, length);
    path += L'\\';
    path += fileName;
    return LoadLibraryExW(path.c_str(), nullptr, 0);
}

FARPROC LoadSystemFunction(const wchar_t* fileName, const char* name)
{
    HMODULE module = LoadSystemLibrary(fileName);
    return module ? GetProcAddress(module, name) : nullptr;
}

bool ResolveSpoolerFunctions(HMODULE module, SpoolerFunctions* table, std::wstring* missing)
{
    SpoolerFunctions loaded = {};
    const bool complete = Resolve(module, "EnumPrintersW", 0, &loaded.EnumPrintersW, missing) &&
                          Resolve(module, "GetDefaultPrinterW", DefaultPrinterOrdinal, &loaded.GetDefaultPrinterW,
                                  missing) &&
                          Resolve(module, "OpenPrinterW", 0, &loaded.OpenPrinterW, missing) &&
                          Resolve(module, "ClosePrinter", 0, &loaded.ClosePrinter, missing) &&
                          Resolve(module, "EnumFormsW", 0, &loaded.EnumFormsW, missing) &&
                          Resolve(module, "AddFormW", 0, &loaded.AddFormW, missing) &&
                          Resolve(module, "SetFormW", 0, &loaded.SetFormW, missing) &&
                          Resolve(module, "DeleteFormW", 0, &loaded.DeleteFormW, missing) &&
                          Resolve(module, "GetPrinterW", 0, &loaded.GetPrinterW, missing) &&
                          Resolve(module, "SetPrinterW", 0, &loaded.SetPrinterW, missing) &&
                          Resolve(module, "DocumentPropertiesW", 0, &loaded.DocumentPropertiesW, missing) &&
                          Resolve(module, "DeviceCapabilitiesW", 0, &loaded.DeviceCapabilitiesW, missing);
    if (complete)
        *table = loaded;
    return complete;
}

bool LoadSpoolerFunctions(std::wstring* missing)
{
    if (Spooler.OpenPrinterW)
        return true;
    HMODULE module = LoadSystemLibrary(L"winspool.drv");
    if (!module) {
        *missing = L"winspool.drv";
        return false;
    }
    if (ResolveSpoolerFunctions(module, &Spooler, missing))
        return true;
    FreeLibrary(module);
    return false;
}
