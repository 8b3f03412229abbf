// Prints the version record as this program sees it, for a test that gives
// its name a Wine version setting: "platform major minor size win32s winnt win9x".
#include "system/Probes.h"

#include <cstdio>

int main()
{
    COSVersionInfo version;
    std::printf("%lu %lu %lu %lu %d %d %d\n", version.m_osvi.dwPlatformId, version.m_osvi.dwMajorVersion,
                version.m_osvi.dwMinorVersion, version.m_osvi.dwOSVersionInfoSize, version.m_bWin32s,
                version.m_bWinNT, version.m_bWin9x);
    return 0;
}
