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

// A kernel32 function that Windows 7 has only with its security update KB2533623; null
// without it. kernel32 is loaded in every process already.
template <typename Function>
Function DllDirectoryFunction(const char* name)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

// A printer driver's UI module, loaded into this process by DocumentPropertiesW and
// DeviceCapabilitiesW, may import DLLs it installed beside itself, which a search limited to
// the system folder would not find. So the printer-driver folder, and its version-3 folder
// where Windows 2000 and later drivers keep their files, join the search
// (LOAD_LIBRARY_SEARCH_USER_DIRS). Only administrators and the spooler can write to them.
void SearchPrinterDriverFolders()
{
    typedef DLL_DIRECTORY_COOKIE(WINAPI * AddDllDirectoryProc)(PCWSTR);
    const auto addDirectory = DllDirectoryFunction<AddDllDirectoryProc>("AddDllDirectory");
    if (!addDirectory)
        return;
    DWORD needed = 0;
    if (Spooler.GetPrinterDriverDirectoryW(nullptr, nullptr, 1, nullptr, 0, &needed) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed < sizeof(wchar_t))
        return;
    std::vector<wchar_t> buffer(needed / sizeof(wchar_t) + 1);
    if (!Spooler.GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer.data()),
                                            static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &needed))
        return;
    const std::wstring folder = buffer.data();
    if (folder.empty())
        return;
    addDirectory(folder.c_str());
    addDirectory((folder + L"\\3").c_str());
}

} // namespace

void RestrictDllSearch()
{
    SetDllDirectoryW(L"");
    // The folders added with AddDllDirectory (the printer drivers') are searched too.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    const auto setDefault = DllDirectoryFunction<SetDefaultDllDirectoriesProc>("SetDefaultDllDirectories");
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
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
                          Resolve(module, "DeviceCapabilitiesW", 0, &loaded.DeviceCapabilitiesW, missing) &&
                          Resolve(module, "GetPrinterDriverDirectoryW", 0, &loaded.GetPrinterDriverDirectoryW,
                                  missing);
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
    if (ResolveSpoolerFunctions(module, &Spooler, missing)) {
        SearchPrinterDriverFolders();
        return true;
    }
    FreeLibrary(module);
    return false;
}
