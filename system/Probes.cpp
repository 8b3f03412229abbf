#include "Probes.h"

// Placeholders until the probes are built: every answer is "not this machine".

COSVersionInfo::COSVersionInfo() : m_osvi(), m_bWin32s(FALSE), m_bWinNT(FALSE), m_bWin9x(FALSE)
{
}

BOOL IsAdministrator()
{
    return FALSE;
}

BOOL CServiceQuery::UsesDriverFile(LPCSTR, LPCSTR)
{
    return FALSE;
}
