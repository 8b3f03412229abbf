#include "Registry.h"

namespace testbed {

RegValue ReadValue(const RegKey& key, const char* name)
{
    RegValue value;
    CKeyHolder hkey;
    DWORD size = 0;
    if (OpenKey(key, KEY_QUERY_VALUE, hkey) != ERROR_SUCCESS ||
        RegQueryValueExA(hkey.Get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return RegValue();
    // Room to spare: a string's 8-bit size may differ from the stored one.
    value.bytes.resize(size * 2 + 2);
    DWORD read = static_cast<DWORD>(value.bytes.size());
    if (RegQueryValueExA(hkey.Get(), name, nullptr, &value.type, value.bytes.data(), &read) != ERROR_SUCCESS)
        return RegValue();
    value.bytes.resize(read);
    value.present = true;
    return value;
}

std::map<std::string, RegValue> ReadAllValues(const RegKey& key)
{
    std::map<std::string, RegValue> values;
    CKeyHolder hkey;
    if (OpenKey(key, KEY_QUERY_VALUE, hkey) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[256] = {};
        DWORD length = sizeof(name);
        if (RegEnumValueA(hkey.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        values[name] = ReadValue(key, name);
    }
    return values;
}

LONG WriteValue(const RegKey& key, const char* name, const RegValue& value)
{
    return value.present ? WriteValue(key, name, value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size()))
                         : DeleteValue(key, name);
}

std::string ReadString(const RegKey& key, const char* name)
{
    const RegValue value = ReadValue(key, name);
    if (!value.present || value.type != REG_SZ)
        return std::string();
    const char* text = reinterpret_cast<const char*>(value.bytes.data());
    return std::string(text, strnlen(text, value.bytes.size()));
}

LONG WriteString(const RegKey& key, const char* name, const std::string& text)
{
    return WriteValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

}  // namespace testbed
