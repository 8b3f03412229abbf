#include "Probes.h"

#include <malloc.h>
#include <string.h>

#include "../messages/Holders.h"

namespace {

// The calling thread's token: its impersonation token when it impersonates,
// else the process's. Only a thread without a token of its own falls back;
// any other refusal is an answer about this context, not a reason to look
// at another one.
BOOL OpenCallerToken(CHandleHolder& token)
{
    if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, FALSE, token.Put()))
        return TRUE;
    if (::GetLastError() != ERROR_NO_TOKEN)
        return FALSE;
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put());
}

}  // namespace

COSVersionInfo::COSVersionInfo() : m_osvi(), m_bWin32s(FALSE), m_bWinNT(FALSE), m_bWin9x(FALSE)
{
    // m_osvi starts zero-filled, so a refused call leaves platform 0 and
    // version 0.0 rather than whatever the stack held.
    m_osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    ::GetVersionExA(&m_osvi);

    switch (m_osvi.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        m_bWin32s = TRUE;
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        m_bWin9x = TRUE;
        break;
    case VER_PLATFORM_WIN32_NT:
        m_bWinNT = TRUE;
        break;
    }
}

BOOL IsAdministrator()
{
    CHandleHolder token;
    if (!OpenCallerToken(token))
        return FALSE;

    DWORD dwSize = 0;
    if (::GetTokenInformation(token.Get(), TokenGroups, nullptr, 0, &dwSize) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    dwSize = (dwSize + 3) & ~3UL;
    TOKEN_GROUPS* pGroups = static_cast<TOKEN_GROUPS*>(_alloca(dwSize));
    if (!::GetTokenInformation(token.Get(), TokenGroups, pGroups, dwSize, &dwSize))
        return FALSE;

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    CSidHolder admins;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, admins.Put()))
        return FALSE;

    // Membership in any form counts: the group's attributes are not looked at.
    for (DWORD i = 0; i < pGroups->GroupCount; ++i) {
        if (::EqualSid(pGroups->Groups[i].Sid, admins.Get()))
            return TRUE;
    }
    return FALSE;
}

BOOL CServiceQuery::UsesDriverFile(LPCSTR serviceName, LPCSTR fileName)
{
    // Declared in the reverse of the order they are released in: the
    // service, then the block, then the manager.
    CServiceHolder manager;
    CMallocHolder block(::malloc(sizeof(QUERY_SERVICE_CONFIGA)));
    if (block.Get() == nullptr)
        return FALSE;
    manager.Reset(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager.Get() == nullptr)
        return FALSE;
    CServiceHolder service(::OpenServiceA(manager.Get(), serviceName, SERVICE_ALL_ACCESS));
    if (service.Get() == nullptr)
        return FALSE;

    // The strings follow the fixed part, so for any service with a binary
    // path the first query only learns the size the second one needs.
    DWORD dwNeeded = 0;
    if (!::QueryServiceConfigA(service.Get(), static_cast<QUERY_SERVICE_CONFIGA*>(block.Get()),
                               sizeof(QUERY_SERVICE_CONFIGA), &dwNeeded)) {
        if (dwNeeded <= sizeof(QUERY_SERVICE_CONFIGA))
            return FALSE;
        block.Reset(::malloc(dwNeeded));
        if (block.Get() == nullptr)
            return FALSE;
        if (!::QueryServiceConfigA(service.Get(), static_cast<QUERY_SERVICE_CONFIGA*>(block.Get()),
                                   dwNeeded, &dwNeeded))
            return FALSE;
    }

    LPCSTR binaryPath = static_cast<QUERY_SERVICE_CONFIGA*>(block.Get())->lpBinaryPathName;
    if (binaryPath == nullptr)
        return FALSE;
    // An empty name occurs in every path: a name that was lost on its way
    // here (its string could not be allocated) must not make a machine
    // without the maker's driver qualify.
    return fileName[0] != '\0' && ::strstr(binaryPath, fileName) != nullptr;
}
