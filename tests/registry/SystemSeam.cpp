#include "SystemSeam.h"

#include "framework/afxlate.h"

namespace seam {

namespace {

Failures g_failures;
Calls g_calls;

template <typename F>
F Real(const char* module, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name)));
}

// A token call that fails with the armed error, or the system's own.
template <typename F, typename... A>
BOOL FailOrCall(DWORD failure, F real, A... args)
{
    if (failure != 0) {
        SetLastError(failure);
        return FALSE;
    }
    return real(args...);
}

LONG WINAPI QueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                       LPDWORD size)
{
    DWORD failure = data == nullptr ? g_failures.sizeQuery : g_failures.dataRead;
    if (failure != 0)
        return static_cast<LONG>(failure);
    static auto real = Real<decltype(&QueryValue)>("advapi32.dll", "RegQueryValueExA");
    return real(key, name, reserved, type, data, size);
}

LONG WINAPI SetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                     DWORD size)
{
    if (g_failures.setValue != 0)
        return static_cast<LONG>(g_failures.setValue);
    static auto real = Real<decltype(&SetValue)>("advapi32.dll", "RegSetValueExA");
    return real(key, name, reserved, type, data, size);
}

BOOL WINAPI OpenToken(HANDLE process, DWORD access, PHANDLE token)
{
    static auto real = Real<decltype(&OpenToken)>("advapi32.dll", "OpenProcessToken");
    return FailOrCall(g_failures.openToken, real, process, access, token);
}

BOOL WINAPI Lookup(LPCSTR system, LPCSTR name, PLUID luid)
{
    static auto real = Real<decltype(&Lookup)>("advapi32.dll", "LookupPrivilegeValueA");
    return FailOrCall(g_failures.lookup, real, system, name, luid);
}

BOOL WINAPI Adjust(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES privileges, DWORD length,
                   PTOKEN_PRIVILEGES previous, PDWORD returnLength)
{
    ++g_calls.adjust;
    g_calls.disableAll = disableAll;
    g_calls.askedPreviousState = previous != nullptr || length != 0;
    if (privileges != nullptr)
        g_calls.privileges = *privileges;
    static auto real = Real<decltype(&Adjust)>("advapi32.dll", "AdjustTokenPrivileges");
    BOOL result =
        FailOrCall(g_failures.adjust, real, token, disableAll, privileges, length, previous, returnLength);
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

// The import slots the compiler calls through; defining them here keeps the
// linker from taking the system's import-library entries.
#define SEAM_SLOT(name, bytes, standIn)                                   \
    extern decltype(&::name) seamImp_##name asm(AFX_IMPORT_SLOT(name, bytes)); \
    decltype(&::name) seamImp_##name = &seam::standIn;

SEAM_SLOT(RegQueryValueExA, 24, QueryValue)
SEAM_SLOT(RegSetValueExA, 24, SetValue)
SEAM_SLOT(OpenProcessToken, 12, OpenToken)
SEAM_SLOT(LookupPrivilegeValueA, 12, Lookup)
SEAM_SLOT(AdjustTokenPrivileges, 24, Adjust)
SEAM_SLOT(ExitWindowsEx, 8, ExitSession)
