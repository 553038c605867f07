// The account the tool runs as, whether it is the one signed in to the desktop (an
// administrator who elevated with their own credentials sets defaults for themselves only),
// and whether the process is elevated.
#include "spooler/spooler.h"

#include <wtsapi32.h>

bool (*ProcessAccountHook)(AccountName* account) = &ProcessAccount;
bool (*SessionAccountHook)(AccountName* account) = &SessionAccount;

namespace {

// One text of the session's information; the call's buffer goes back to wtsapi32.
bool SessionText(decltype(&::WTSQuerySessionInformationW) query, decltype(&::WTSFreeMemory) release, DWORD session,
                 WTS_INFO_CLASS kind, std::wstring* text)
{
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (!query(WTS_CURRENT_SERVER_HANDLE, session, kind, &buffer, &bytes) || !buffer)
        return false;
    text->assign(buffer, wcsnlen(buffer, bytes / sizeof(wchar_t)));
    release(buffer);
    return true;
}

// Account names compare as Windows compares them: by code unit, case folded.
bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring ProcessAccountName()
{
    wchar_t name[257] = {};
    DWORD length = 257;
    if (!GetUserNameW(name, &length))
        return std::wstring();
    return name;
}

bool ProcessAccount(AccountName* account)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size > 0 ? size : 1);
    const bool read = size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    if (!read)
        return false;
    wchar_t name[257] = {}, domain[257] = {};
    DWORD nameLength = 257, domainLength = 257;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, name, &nameLength,
                           domain, &domainLength, &use))
        return false;
    account->user = name;
    account->domain = domain;
    return true;
}

bool SessionAccount(AccountName* account)
{
    const auto query = SystemFunction<decltype(&::WTSQuerySessionInformationW)>(L"wtsapi32.dll",
                                                                                "WTSQuerySessionInformationW");
    const auto release = SystemFunction<decltype(&::WTSFreeMemory)>(L"wtsapi32.dll", "WTSFreeMemory");
    DWORD session = 0;
    if (!query || !release || !ProcessIdToSessionId(GetCurrentProcessId(), &session))
        return false;
    // A session nobody is signed in to (a service's) names no user: no desktop to differ from.
    return SessionText(query, release, session, WTSUserName, &account->user) &&
           SessionText(query, release, session, WTSDomainName, &account->domain) && !account->user.empty();
}

bool RunsAsAnotherAccount()
{
    // The session keeps the name of the user who signed in; the token of an elevation with
    // other credentials names the administrator. The shell's own token is not asked: another
    // user's process is normally refused it.
    AccountName signedIn, own;
    if (!SessionAccountHook(&signedIn) || !ProcessAccountHook(&own))
        return false;
    return !SameName(signedIn.domain, own.domain) || !SameName(signedIn.user, own.user);
}

bool ProcessIsElevated()
{
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool read = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                      GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    if (token)
        CloseHandle(token);
    // A token that cannot be read counts as elevated: nothing should start elevated by accident.
    return !read || elevation.TokenIsElevated != 0;
}
