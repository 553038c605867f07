// Opening files and addresses from this elevated process through the desktop's own shell, and
// the vendor link that uses it.
#include "app/desktop_shell.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "app/app.h"
#include "forms/forms.h"
#include "spooler/spooler.h"

const wchar_t VendorAddress[] = L"https://zeltra.example/";

bool (*DesktopShellExecuteHook)(const wchar_t*) = &ShellExecuteFromDesktop;
HINSTANCE(WINAPI* ShellExecuteHook)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) = &ShellExecuteFromSystem;
bool (*ProcessElevatedHook)() = &ProcessIsElevated;

namespace {

template <typename Interface>
void ReleaseIfSet(Interface* object)
{
    if (object)
        object->Release();
}

// The automation object of the desktop's folder view: the shell that runs with the user's own,
// unelevated rights. Null where there is no such desktop (another shell, or none running).
// Written out rather than taken from libuuid, whose object file brings 40 KiB of other GUIDs.
const CLSID ShellWindowsClass = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const GUID TopLevelBrowserService = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// shell32, ole32 and oleaut32 serve only the link: taken from the system folder on the
// click, so that start-up does not load them (tens of milliseconds under Wine).
typedef HRESULT(WINAPI* CreateInstanceProc)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);

IShellDispatch2* DesktopShell(CreateInstanceProc createInstance)
{
    IShellWindows* windows = nullptr;
    IDispatch* desktop = nullptr;
    IServiceProvider* provider = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* background = nullptr;
    IShellFolderViewDual* folderView = nullptr;
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;
    VARIANT none = {};
    none.vt = VT_EMPTY;
    LONG desktopWindow = 0;
    if (SUCCEEDED(createInstance(ShellWindowsClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows))) &&
        windows->FindWindowSW(&none, &none, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH, &desktop) == S_OK &&
        desktop && SUCCEEDED(desktop->QueryInterface(IID_PPV_ARGS(&provider))) &&
        SUCCEEDED(provider->QueryService(TopLevelBrowserService, IID_PPV_ARGS(&browser))) &&
        SUCCEEDED(browser->QueryActiveShellView(&view)) &&
        SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background))) &&
        SUCCEEDED(background->QueryInterface(IID_PPV_ARGS(&folderView))) &&
        SUCCEEDED(folderView->get_Application(&application)) && application)
        application->QueryInterface(IID_PPV_ARGS(&shell));
    ReleaseIfSet(application);
    ReleaseIfSet(folderView);
    ReleaseIfSet(background);
    ReleaseIfSet(view);
    ReleaseIfSet(browser);
    ReleaseIfSet(provider);
    ReleaseIfSet(desktop);
    ReleaseIfSet(windows);
    return shell;
}

} // namespace

bool ShellExecuteFromDesktop(const wchar_t* file)
{
    const auto initialize = SystemFunction<HRESULT(WINAPI*)(LPVOID, DWORD)>(L"ole32.dll", "CoInitializeEx");
    const auto uninitialize = SystemFunction<void(WINAPI*)()>(L"ole32.dll", "CoUninitialize");
    const auto createInstance = SystemFunction<CreateInstanceProc>(L"ole32.dll", "CoCreateInstance");
    const auto allowForeground =
        SystemFunction<HRESULT(WINAPI*)(IUnknown*, LPVOID)>(L"ole32.dll", "CoAllowSetForegroundWindow");
    const auto allocString = SystemFunction<BSTR(WINAPI*)(const OLECHAR*)>(L"oleaut32.dll", "SysAllocString");
    const auto freeString = SystemFunction<void(WINAPI*)(BSTR)>(L"oleaut32.dll", "SysFreeString");
    if (!initialize || !uninitialize || !createInstance || !allowForeground || !allocString || !freeString)
        return false;

    // COM only for the click, so start-up does not pay for it.
    const HRESULT com = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    IShellDispatch2* shell = DesktopShell(createInstance);
    if (shell) {
        // The desktop's process starts the program, so it may bring that window to the front.
        allowForeground(shell, nullptr);
        BSTR name = allocString(file);
        VARIANT none = {};
        none.vt = VT_EMPTY;
        if (name)
            shell->ShellExecute(name, none, none, none, none);
        freeString(name);
        shell->Release();
    }
    if (SUCCEEDED(com))
        uninitialize();
    return shell != nullptr;
}

HINSTANCE WINAPI ShellExecuteFromSystem(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder,
                                        INT show)
{
    const auto execute = SystemFunction<HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT)>(
        L"shell32.dll", "ShellExecuteW");
    return execute ? execute(owner, verb, file, parameters, folder, show) : nullptr;
}

void OpenVendorLink()
{
    if (DesktopShellExecuteHook(VendorAddress))
        return;
    // ShellExecuteW from an elevated process would start the browser elevated too, and as the
    // administrator whose password was typed, who may not be the signed-in user.
    if (ProcessElevatedHook())
        ShowMessage(std::wstring(L"无法以普通用户身份打开浏览器。请在浏览器中访问：\r\n") + VendorAddress, AppTitle,
                    MB_OK | MB_ICONINFORMATION);
    else
        ShellExecuteHook(MainWindow, L"open", VendorAddress, nullptr, nullptr, SW_SHOWNORMAL);
}
