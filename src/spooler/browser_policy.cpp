// The machine policy with which Chrome and Edge choose their default paper. Both read it from
// the same value name under their own policy key, for every user of the PC.
#include "spooler/spooler.h"

const BrowserPolicyKey BrowserPolicyKeys[] = {
    {L"Chrome", L"SOFTWARE\\Policies\\Google\\Chrome"},
    {L"Edge", L"SOFTWARE\\Policies\\Microsoft\\Edge"},
};
const size_t BrowserPolicyCount = sizeof(BrowserPolicyKeys) / sizeof(BrowserPolicyKeys[0]);

namespace {

const wchar_t PaperSizeValue[] = L"PrintingPaperSizeDefault";
// The 64-bit view: the policy keys are the browsers' own whatever the reader's bitness.
const REGSAM View = KEY_WOW64_64KEY;
const DWORD MaxValueBytes = 4096; // a paper size in JSON is far shorter

// The browser's policy key; ERROR_SUCCESS with *key null when the browser has no policies.
DWORD OpenPolicyKey(const BrowserPolicyKey& browser, REGSAM access, HKEY* key)
{
    const LONG code = RegOpenKeyExW(HKEY_LOCAL_MACHINE, browser.key, 0, access | View, key);
    if (code != ERROR_SUCCESS)
        *key = nullptr;
    return code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<DWORD>(code);
}

} // namespace

DWORD ReadBrowserPaperPolicy(const BrowserPolicyKey& browser, std::wstring* value, bool* present)
{
    value->clear();
    *present = false;
    HKEY key = nullptr;
    const DWORD opened = OpenPolicyKey(browser, KEY_QUERY_VALUE, &key);
    if (opened != ERROR_SUCCESS || !key)
        return opened;
    std::wstring text(MaxValueBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD type = 0;
    DWORD bytes = MaxValueBytes;
    const LONG code = RegQueryValueExW(key, PaperSizeValue, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &bytes);
    RegCloseKey(key);
    if (code == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (code != ERROR_SUCCESS)
        return static_cast<DWORD>(code);
    // A value of another type is there, but names no size.
    *present = true;
    if (type == REG_SZ) {
        text.resize(bytes / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        *value = text;
    }
    return ERROR_SUCCESS;
}

DWORD WriteBrowserPaperPolicy(const BrowserPolicyKey& browser, const std::wstring& value)
{
    HKEY key = nullptr;
    LONG code = RegCreateKeyExW(HKEY_LOCAL_MACHINE, browser.key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE | View, nullptr, &key, nullptr);
    if (code != ERROR_SUCCESS)
        return static_cast<DWORD>(code);
    code = RegSetValueExW(key, PaperSizeValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return static_cast<DWORD>(code);
}

DWORD ClearBrowserPaperPolicy(const BrowserPolicyKey& browser, bool* existed)
{
    *existed = false;
    HKEY key = nullptr;
    const DWORD opened = OpenPolicyKey(browser, KEY_SET_VALUE, &key);
    if (opened != ERROR_SUCCESS || !key)
        return opened;
    const LONG code = RegDeleteValueW(key, PaperSizeValue);
    RegCloseKey(key);
    if (code == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    *existed = code == ERROR_SUCCESS;
    return static_cast<DWORD>(code);
}
