#include "PowerPolicy.h"

#include "../messages/Messages.h"
#include "PolicyRecord.h"

namespace {

typedef BOOLEAN(WINAPI* IsPwrHibernateAllowedProc)();
typedef BOOLEAN(WINAPI* GlobalPwrPolicyProc)(BYTE* policy);

// Owns one loaded library and frees it when it goes.
class CLibraryHolder {
public:
    CLibraryHolder() = default;
    ~CLibraryHolder()
    {
        if (m_hModule != nullptr)
            ::FreeLibrary(m_hModule);
    }
    CLibraryHolder(const CLibraryHolder&) = delete;
    CLibraryHolder& operator=(const CLibraryHolder&) = delete;

    // Loads the power-management library from the system directory only.
    // The program runs as an administrator at every logon: a "powrprof.dll"
    // planted beside it or in the current directory must never be loaded.
    // FALSE with the reason in GetLastError.
    BOOL LoadPowerLibrary()
    {
        static const char kName[] = "\\powrprof.dll";
        char szPath[MAX_PATH] = {};
        UINT nLength = ::GetSystemDirectoryA(szPath, MAX_PATH);
        if (nLength == 0)
            return FALSE;
        if (nLength + sizeof(kName) > MAX_PATH) {
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return FALSE;
        }
        lstrcatA(szPath, kName);
        m_hModule = ::LoadLibraryA(szPath);
        return m_hModule != nullptr;
    }

    // The entry point, or nullptr with the reason in GetLastError.
    template <typename Proc>
    Proc EntryPoint(LPCSTR name) const
    {
        // Through the generic function pointer type, which converts to any.
        return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(::GetProcAddress(m_hModule, name)));
    }

private:
    HMODULE m_hModule = nullptr;
};

}  // namespace

HibernateState IsHibernateAllowed()
{
    CLibraryHolder library;
    if (!library.LoadPowerLibrary()) {
        ReportError(::GetLastError());
        return HibernateState::Failed;
    }
    auto isAllowed = library.EntryPoint<IsPwrHibernateAllowedProc>("IsPwrHibernateAllowed");
    if (isAllowed == nullptr) {
        ReportError(::GetLastError());
        return HibernateState::Failed;
    }
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
    if (!library.LoadPowerLibrary()) {
        ReportError(::GetLastError());
        return FALSE;
    }
    auto readPolicy = library.EntryPoint<GlobalPwrPolicyProc>("ReadGlobalPwrPolicy");
    if (readPolicy == nullptr) {
        ReportError(::GetLastError());
        return FALSE;
    }
    alignas(DWORD) BYTE record[kGlobalPowerPolicySize] = {};
    if (!readPolicy(record)) {
        ShowRegistryError();
        return FALSE;
    }
    ReadDischargeFields(record, out);
    return TRUE;
}

BOOL WriteDischargeSettings(const DischargeSettings& in)
{
    CLibraryHolder library;
    if (!library.LoadPowerLibrary()) {
        ReportError(::GetLastError());
        return FALSE;
    }
    // Both entry points are found before either is called, so a library
    // without the write never sees the read.
    auto readPolicy = library.EntryPoint<GlobalPwrPolicyProc>("ReadGlobalPwrPolicy");
    if (readPolicy == nullptr) {
        ReportError(::GetLastError());
        return FALSE;
    }
    auto writePolicy = library.EntryPoint<GlobalPwrPolicyProc>("WriteGlobalPwrPolicy");
    if (writePolicy == nullptr) {
        ReportError(::GetLastError());
        return FALSE;
    }
    // Every byte but the five values goes back as the system gave it; a
    // refused read writes nothing.
    alignas(DWORD) BYTE record[kGlobalPowerPolicySize] = {};
    if (!readPolicy(record)) {
        ShowRegistryError();
        return FALSE;
    }
    StoreDischargeFields(record, in);
    if (!writePolicy(record)) {
        ShowRegistryError();
        return FALSE;
    }
    return TRUE;
}
