#include "SystemSeam.h"

#include "tests/support/ImportSlot.h"

SENTAVIO_IMPORT_SLOT(RegQueryValueExA, 24);
SENTAVIO_IMPORT_SLOT(RegSetValueExA, 24);
SENTAVIO_IMPORT_SLOT(OpenProcessToken, 12);
SENTAVIO_IMPORT_SLOT(LookupPrivilegeValueA, 12);
SENTAVIO_IMPORT_SLOT(AdjustTokenPrivileges, 24);
SENTAVIO_IMPORT_SLOT(ExitWindowsEx, 8);

namespace seam {

namespace {

using imports::CStandIn;

Failures g_failures;
Calls g_calls;

// A token call that fails with the armed error, or the system's own.
template <auto& Slot, typename... A>
BOOL FailOrCall(DWORD failure, A... args)
{
    if (failure != 0) {
        SetLastError(failure);
        return FALSE;
    }
    return CStandIn<Slot>::Real()(args...);
}

LONG WINAPI QueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (const DWORD failure = data == nullptr ? g_failures.sizeQuery : g_failures.dataRead)
        return static_cast<LONG>(failure);
    return CStandIn<importSlot_RegQueryValueExA>::Real()(key, name, reserved, type, data, size);
}

LONG WINAPI SetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    if (g_failures.setValue != 0)
        return static_cast<LONG>(g_failures.setValue);
    return CStandIn<importSlot_RegSetValueExA>::Real()(key, name, reserved, type, data, size);
}

BOOL WINAPI OpenToken(HANDLE process, DWORD access, PHANDLE token)
{
    return FailOrCall<importSlot_OpenProcessToken>(g_failures.openToken, process, access, token);
}

BOOL WINAPI Lookup(LPCSTR system, LPCSTR name, PLUID luid)
{
    return FailOrCall<importSlot_LookupPrivilegeValueA>(g_failures.lookup, system, name, luid);
}

BOOL WINAPI Adjust(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES privileges, DWORD length,
                   PTOKEN_PRIVILEGES previous, PDWORD returnLength)
{
    ++g_calls.adjust;
    g_calls.disableAll = disableAll;
    g_calls.askedPreviousState = previous != nullptr || length != 0;
    if (privileges != nullptr)
        g_calls.privileges = *privileges;
    BOOL result = FailOrCall<importSlot_AdjustTokenPrivileges>(g_failures.adjust, token, disableAll, privileges,
                                                               length, previous, returnLength);
    if (result && g_failures.adjustPartly != 0)
        SetLastError(g_failures.adjustPartly);
    return result;
}

BOOL WINAPI ExitSession(UINT flags, DWORD)
{
    ++g_calls.exitWindows;
    g_calls.exitFlags = flags;
    if (g_failures.exitWindows != 0) {
        SetLastError(g_failures.exitWindows);
        return FALSE;
    }
    return TRUE;
}

// In their slots for the whole program, from before its first test.
const CStandIn<importSlot_RegQueryValueExA> g_queryValue(&QueryValue);
const CStandIn<importSlot_RegSetValueExA> g_setValue(&SetValue);
const CStandIn<importSlot_OpenProcessToken> g_openToken(&OpenToken);
const CStandIn<importSlot_LookupPrivilegeValueA> g_lookup(&Lookup);
const CStandIn<importSlot_AdjustTokenPrivileges> g_adjust(&Adjust);
const CStandIn<importSlot_ExitWindowsEx> g_exitWindows(&ExitSession);

}  // namespace

void Arm(const Failures& failures)
{
    g_failures = failures;
    g_calls = Calls();
}

const Calls& Seen()
{
    return g_calls;
}

}  // namespace seam
