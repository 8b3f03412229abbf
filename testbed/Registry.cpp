#include "Registry.h"

namespace testbed {

namespace {

LONG Open(const RegKey& key, REGSAM access, CKeyHolder& hkey)
{
    return RegOpenKeyExA(key.root, key.path.c_str(), 0, access, hkey.Put());
}

LONG Create(const RegKey& key, REGSAM access, CKeyHolder& hkey)
{
    return RegCreateKeyExA(key.root, key.path.c_str(), 0, nullptr, 0, access, nullptr, hkey.Put(), nullptr);
}

}  // namespace

RegValue ReadValue(const RegKey& key, const char* name)
{
    RegValue value;
    CKeyHolder hkey;
    DWORD size = 0;
    if (Open(key, KEY_QUERY_VALUE, hkey) != ERROR_SUCCESS ||
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
    if (Open(key, KEY_QUERY_VALUE, hkey) != ERROR_SUCCESS)
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

LONG WriteValue(const RegKey& key, const char* name, DWORD type, const void* data, DWORD size)
{
    CKeyHolder hkey;
    LONG status = Create(key, KEY_SET_VALUE, hkey);
    if (status != ERROR_SUCCESS)
        return status;
    return RegSetValueExA(hkey.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

LONG WriteValue(const RegKey& key, const char* name, const RegValue& value)
{
    if (!value.present)
        return DeleteValue(key, name);
    return WriteValue(key, name, value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
}

DWORD ReadDword(const RegKey& key, const char* name, DWORD absent)
{
    CKeyHolder hkey;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (Open(key, KEY_QUERY_VALUE, hkey) != ERROR_SUCCESS ||
        RegQueryValueExA(hkey.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return absent;
    return value;
}

LONG WriteDword(const RegKey& key, const char* name, DWORD value)
{
    return WriteValue(key, name, REG_DWORD, &value, sizeof(value));
}

LONG ReadBinary(const RegKey& key, const char* name, void* data, DWORD size)
{
    CKeyHolder hkey;
    LONG status = Open(key, KEY_QUERY_VALUE, hkey);
    if (status != ERROR_SUCCESS)
        return status;
    DWORD type = 0;
    DWORD read = size;
    status = RegQueryValueExA(hkey.Get(), name, nullptr, &type, static_cast<BYTE*>(data), &read);
    if (status == ERROR_SUCCESS && (type != REG_BINARY || read != size))
        return ERROR_INVALID_DATA;
    return status;
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

LONG DeleteValue(const RegKey& key, const char* name)
{
    CKeyHolder hkey;
    LONG status = Open(key, KEY_SET_VALUE, hkey);
    if (status == ERROR_SUCCESS)
        status = RegDeleteValueA(hkey.Get(), name);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LONG CreateKey(const RegKey& key)
{
    CKeyHolder hkey;
    return Create(key, KEY_QUERY_VALUE, hkey);
}

LONG DeleteKey(const RegKey& key)
{
    LONG status = RegDeleteKeyA(key.root, key.path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

bool KeyExists(const RegKey& key)
{
    CKeyHolder hkey;
    return Open(key, KEY_QUERY_VALUE, hkey) == ERROR_SUCCESS;
}

}  // namespace testbed
