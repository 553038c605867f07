// A DLL that an attacker could drop beside the exe under a system DLL's name. When loaded it
// leaves "<its own path>.loaded" behind, so a scenario can tell that the tool fell for it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    lstrcatW(path, L".loaded");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    return TRUE;
}

// Every export is this one function: on x64 the caller cleans up, so it fits any signature.
extern "C" __declspec(dllexport) INT_PTR PlantedStub()
{
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}
