// The stand-in power library: the three entry points Sentavio.exe uses,
// with the platform's signatures, over the registry values where Windows
// 2000 keeps the global power policy. Unlike Wine's own copy it reads back
// what was written, and the test bed can make each call answer as a real
// machine might (see StandIn.h).
#include <windows.h>

#include <powrprof.h>

#include "StandIn.h"

namespace {

// Owns an open registry key.
class KeyHolder {
public:
    KeyHolder() = default;
    ~KeyHolder()
    {
        if (m_key != nullptr)
            RegCloseKey(m_key);
    }
    KeyHolder(const KeyHolder&) = delete;
    KeyHolder& operator=(const KeyHolder&) = delete;

    HKEY* Put() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

DWORD Switch(const char* name, DWORD absent)
{
    KeyHolder key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, standin::kSwitchKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return absent;
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return absent;
    return value;
}

// A part must be there, binary, and of exactly its size.
bool ReadPart(HKEY root, const char* path, void* part, DWORD partSize)
{
    KeyHolder key;
    LONG error = RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, key.Put());
    DWORD type = 0;
    DWORD size = partSize;
    if (error == ERROR_SUCCESS)
        error = RegQueryValueExA(key.Get(), standin::kPolicyValue, nullptr, &type,
                                 static_cast<BYTE*>(part), &size);
    if (error == ERROR_SUCCESS && (type != REG_BINARY || size != partSize))
        error = ERROR_INVALID_DATA;
    SetLastError(static_cast<DWORD>(error));
    return error == ERROR_SUCCESS;
}

bool WritePart(HKEY root, const char* path, const void* part, DWORD partSize)
{
    KeyHolder key;
    LONG error = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr);
    if (error == ERROR_SUCCESS)
        error = RegSetValueExA(key.Get(), standin::kPolicyValue, 0, REG_BINARY,
                               static_cast<const BYTE*>(part), partSize);
    SetLastError(static_cast<DWORD>(error));
    return error == ERROR_SUCCESS;
}

}  // namespace

// Exported as IsPwrHibernateAllowed. The platform declares a BOOLEAN; this
// one hands back all 32 bits of the switch, so a caller that looks past the
// low byte is caught.
extern "C" DWORD WINAPI HibernateAnswer()
{
#ifdef STANDIN_PLANTED
    return standin::kPlantedHibernateAnswer;
#else
    return Switch(standin::kHibernateAnswer, 1);
#endif
}

BOOLEAN WINAPI ReadGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy)
{
    if (Switch(standin::kRefuseRead, 0) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    GLOBAL_POWER_POLICY stored = {};
    if (!ReadPart(HKEY_CURRENT_USER, standin::kUserPolicyKey, &stored.user, sizeof(stored.user)) ||
        !ReadPart(HKEY_LOCAL_MACHINE, standin::kMachinePolicyKey, &stored.mach, sizeof(stored.mach)))
        return FALSE;
    *policy = stored;
    return TRUE;
}

BOOLEAN WINAPI WriteGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy)
{
    if (Switch(standin::kRefuseWrite, 0) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return WritePart(HKEY_CURRENT_USER, standin::kUserPolicyKey, &policy->user, sizeof(policy->user)) &&
           WritePart(HKEY_LOCAL_MACHINE, standin::kMachinePolicyKey, &policy->mach, sizeof(policy->mach));
}
