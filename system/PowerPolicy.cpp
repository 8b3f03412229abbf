#include "PowerPolicy.h"

#include "../messages/Holders.h"
#include "../messages/Messages.h"
#include "PolicyRecord.h"

namespace {

typedef BOOLEAN(WINAPI* IsPwrHibernateAllowedProc)();
typedef BOOLEAN(WINAPI* GlobalPwrPolicyProc)(BYTE* policy);

// Loads the power-management library from the system directory only. The
// program runs as an administrator at every logon: a "powrprof.dll" planted
// beside it or in the current directory must never be loaded. Reports a
// failure before it returns FALSE.
BOOL LoadPowerLibrary(CLibraryHolder& library)
{
    static const char kName[] = "\\powrprof.dll";
    char szPath[MAX_PATH] = {};
    UINT nLength = ::GetSystemDirectoryA(szPath, MAX_PATH);
    if (nLength == 0 || nLength + sizeof(kName) > MAX_PATH) {
        ReportError(nLength == 0 ? ::GetLastError() : ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    library.Reset(::LoadLibraryA(::lstrcatA(szPath, kName)));
    if (library.Get() == nullptr) {
        ReportError(::GetLastError());
        return FALSE;
    }
    return TRUE;
}

// The entry point, or nullptr after the failure has been reported.
template <typename Proc>
Proc FindEntryPoint(const CLibraryHolder& library, LPCSTR name)
{
    // Through the generic function pointer type, which converts to any.
    auto proc = reinterpret_cast<Proc>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library.Get(), name)));
    if (proc == nullptr)
        ReportError(::GetLastError());
    return proc;
}

// Calls a read or write of the whole record; a refusal is shown with the
// program's own text.
BOOL CallPolicy(GlobalPwrPolicyProc proc, BYTE* record)
{
    if (proc(record))
        return TRUE;
    ShowRegistryError();
    return FALSE;
}

}  // namespace

HibernateState IsHibernateAllowed()
{
    CLibraryHolder library;
    if (!LoadPowerLibrary(library))
        return HibernateState::Failed;
    auto isAllowed = FindEntryPoint<IsPwrHibernateAllowedProc>(library, "IsPwrHibernateAllowed");
    if (isAllowed == nullptr)
        return HibernateState::Failed;
    // Only the low byte of the answer counts.
    switch (isAllowed()) {
    case 0:
        return HibernateState::NotAllowed;
    case 1:
        return HibernateState::Allowed;
    default:
        return HibernateState::Failed;
    }
}

BOOL ReadDischargeSettings(DischargeSettings& out)
{
    CLibraryHolder library;
    if (!LoadPowerLibrary(library))
        return FALSE;
    auto readPolicy = FindEntryPoint<GlobalPwrPolicyProc>(library, "ReadGlobalPwrPolicy");
    if (readPolicy == nullptr)
        return FALSE;
    alignas(DWORD) BYTE record[kGlobalPowerPolicySize] = {};
    if (!CallPolicy(readPolicy, record))
        return FALSE;
    ReadDischargeFields(record, out);
    return TRUE;
}

BOOL WriteDischargeSettings(const DischargeSettings& in)
{
    CLibraryHolder library;
    if (!LoadPowerLibrary(library))
        return FALSE;
    // Both entry points are found before either is called, so a library
    // without the write never sees the read.
    auto readPolicy = FindEntryPoint<GlobalPwrPolicyProc>(library, "ReadGlobalPwrPolicy");
    if (readPolicy == nullptr)
        return FALSE;
    auto writePolicy = FindEntryPoint<GlobalPwrPolicyProc>(library, "WriteGlobalPwrPolicy");
    if (writePolicy == nullptr)
        return FALSE;
    // Every byte but the five values goes back as the system gave it; a
    // refused read writes nothing.
    alignas(DWORD) BYTE record[kGlobalPowerPolicySize] = {};
    if (!CallPolicy(readPolicy, record))
        return FALSE;
    StoreDischargeFields(record, in);
    return CallPolicy(writePolicy, record);
}
