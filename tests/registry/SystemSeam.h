// Stand-ins, in their import slots, for the few system calls whose failures
// Wine cannot produce on demand: a refused read or write of a registry value
// that exists, a refused token or privilege call, and ExitWindowsEx, which on
// Wine would end every process of the session, this test among them. Each
// stand-in forwards to the real function unless a failure is armed, so
// everything else in these tests runs against Wine's real registry and token.
#pragma once

#include <windows.h>

namespace seam {

// An error code per call; 0 lets the real call run.
struct Failures {
    DWORD sizeQuery = 0;  // RegQueryValueExA asked for the size alone
    DWORD dataRead = 0;   // RegQueryValueExA asked for the data
    DWORD setValue = 0;   // RegSetValueExA
    DWORD openToken = 0;  // OpenProcessToken
    DWORD lookup = 0;     // LookupPrivilegeValueA, which then leaves the LUID alone
    DWORD adjust = 0;     // AdjustTokenPrivileges answers FALSE
    DWORD adjustPartly = 0;  // AdjustTokenPrivileges answers TRUE, leaving this code
    DWORD exitWindows = 0;   // ExitWindowsEx answers FALSE; otherwise TRUE, and nothing ends
};

struct Calls {
    int adjust = 0;
    TOKEN_PRIVILEGES privileges = {};  // as AdjustTokenPrivileges got them
    BOOL disableAll = TRUE;
    bool askedPreviousState = false;
    int exitWindows = 0;
    UINT exitFlags = 0;
};

// Arms the failures and forgets the calls seen so far.
void Arm(const Failures& failures);
const Calls& Seen();

}  // namespace seam
