// The account the tool runs as, and whether it is the one signed in to the desktop: an
// administrator who elevated with their own credentials sets defaults for themselves only.
#include "spooler/spooler.h"

namespace {

// The SID of a process's user, copied out of its token.
bool ProcessUserSid(HANDLE process, std::vector<BYTE>* sid)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size > 0 ? size : 1);
    const bool read = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    if (!read)
        return false;
    const PSID user = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    if (!IsValidSid(user))
        return false;
    const DWORD length = GetLengthSid(user);
    sid->assign(static_cast<const BYTE*>(user), static_cast<const BYTE*>(user) + length);
    return true;
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

bool RunsAsAnotherAccount()
{
    // The desktop's shell runs as the signed-in user; an elevation with other credentials does not.
    DWORD shellProcessId = 0;
    HWND shell = GetShellWindow();
    if (!shell || !GetWindowThreadProcessId(shell, &shellProcessId) || shellProcessId == 0)
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcessId);
    if (!process)
        return false;
    std::vector<BYTE> shellUser;
    const bool known = ProcessUserSid(process, &shellUser);
    CloseHandle(process);
    std::vector<BYTE> ownUser;
    if (!known || !ProcessUserSid(GetCurrentProcess(), &ownUser))
        return false;
    return shellUser != ownUser;
}
