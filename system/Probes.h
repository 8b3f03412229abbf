// Does this machine need attention? Which Windows, whether the user is an
// administrator, and which driver serves a service. None of these shows
// anything: a failure is simply a "no".
#pragma once

#include <windows.h>

class COSVersionInfo {
public:
    COSVersionInfo();

    OSVERSIONINFOA m_osvi;
    BOOL m_bWin32s;
    BOOL m_bWinNT;
    BOOL m_bWin9x;
};

// TRUE only if the calling thread's token (its impersonation token when it
// impersonates) lists the local Administrators group.
BOOL IsAdministrator();

class CServiceQuery {
public:
    CServiceQuery() = default;
    virtual ~CServiceQuery() = default;

    CServiceQuery(const CServiceQuery&) = delete;
    CServiceQuery& operator=(const CServiceQuery&) = delete;

    // TRUE only if the service's configured binary path contains fileName,
    // compared case-sensitively.
    BOOL UsesDriverFile(LPCSTR serviceName, LPCSTR fileName);
};
