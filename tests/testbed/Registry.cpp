#include "Registry.h"

#include "PowerMachine.h"

// Only plain calls here: the stand-in power library is built from this file,
// and the C++ library would leave a handle open at each load.
namespace testbed {

namespace {

HKEY Root(const RegKey& key)
{
    return key.hive == Hive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Exactly size bytes of a value of this type; another type or size answers ERROR_INVALID_DATA.
LONG ReadExactly(const RegKey& key, const char* name, DWORD type, void* data, DWORD size)
{
    CKeyHolder hkey;
    LONG status = OpenKey(key, KEY_QUERY_VALUE, hkey);
    if (status != ERROR_SUCCESS)
        return status;
    DWORD stored = 0;
    DWORD read = size;
    status = RegQueryValueExA(hkey.Get(), name, nullptr, &stored, static_cast<BYTE*>(data), &read);
    return status == ERROR_SUCCESS && (stored != type || read != size) ? ERROR_INVALID_DATA : status;
}

// The key, created when needed, opened with this access into hkey.
LONG CreateKey(const RegKey& key, REGSAM access, CKeyHolder& hkey)
{
    return RegCreateKeyExA(Root(key), key.path, 0, nullptr, 0, access, nullptr, hkey.Put(), nullptr);
}

}  // namespace

LONG OpenKey(const RegKey& key, REGSAM access, CKeyHolder& hkey)
{
    return RegOpenKeyExA(Root(key), key.path, 0, access, hkey.Put());
}

LONG WriteValue(const RegKey& key, const char* name, DWORD type, const void* data, DWORD size)
{
    CKeyHolder hkey;
    const LONG status = CreateKey(key, KEY_SET_VALUE, hkey);
    return status != ERROR_SUCCESS ? status
                                   : RegSetValueExA(hkey.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

DWORD ReadDword(const RegKey& key, const char* name, DWORD absent)
{
    DWORD value = 0;
    return ReadExactly(key, name, REG_DWORD, &value, sizeof(value)) == ERROR_SUCCESS ? value : absent;
}

LONG WriteDword(const RegKey& key, const char* name, DWORD value)
{
    return WriteValue(key, name, REG_DWORD, &value, sizeof(value));
}

LONG DeleteValue(const RegKey& key, const char* name)
{
    CKeyHolder hkey;
    LONG status = OpenKey(key, KEY_SET_VALUE, hkey);
    if (status == ERROR_SUCCESS)
        status = RegDeleteValueA(hkey.Get(), name);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LONG CreateKey(const RegKey& key)
{
    CKeyHolder hkey;
    return CreateKey(key, KEY_QUERY_VALUE, hkey);
}

LONG DeleteKey(const RegKey& key)
{
    LONG status = RegDeleteKeyA(Root(key), key.path);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

bool KeyExists(const RegKey& key)
{
    CKeyHolder hkey;
    return OpenKey(key, KEY_QUERY_VALUE, hkey) == ERROR_SUCCESS;
}

LONG StorePowerPolicy(const GLOBAL_POWER_POLICY& policy)
{
    const LONG status = WriteValue(kUserPolicyKey, kPolicyValue, REG_BINARY, &policy.user, sizeof(policy.user));
    return status != ERROR_SUCCESS ? status
                                   : WriteValue(kMachinePolicyKey, kPolicyValue, REG_BINARY, &policy.mach,
                                                sizeof(policy.mach));
}

LONG LoadPowerPolicy(GLOBAL_POWER_POLICY& policy)
{
    GLOBAL_POWER_POLICY loaded = {};
    LONG status = ReadExactly(kUserPolicyKey, kPolicyValue, REG_BINARY, &loaded.user, sizeof(loaded.user));
    if (status == ERROR_SUCCESS)
        status = ReadExactly(kMachinePolicyKey, kPolicyValue, REG_BINARY, &loaded.mach, sizeof(loaded.mach));
    if (status == ERROR_SUCCESS)
        policy = loaded;
    return status;
}

}  // namespace testbed
