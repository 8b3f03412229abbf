// Reads and writes of the registry for the test bed, the stand-in power library and the tests, on the
// keys of Keys.h. Writes create the key when needed; each answers 0 or the registry's error unless it
// says otherwise.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "messages/Holders.h"
#include "tests/testbed/Keys.h"

namespace testbed {

// A key below another, its path made at run time and held, so the key lives as long as it does.
class CSubKey {
public:
    CSubKey(const RegKey& parent, const std::string& name)
        : m_path(std::string(parent.path) + "\\" + name), m_key{ parent.hive, m_path.c_str() } {}
    CSubKey(const CSubKey&) = delete;
    CSubKey& operator=(const CSubKey&) = delete;

    operator const RegKey&() const { return m_key; }

private:
    std::string m_path;
    RegKey m_key;
};

// A value as the 8-bit registry calls see it.
struct RegValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;

    bool operator==(const RegValue&) const = default;
};

// Opens the key with this access into hkey; a missing key answers ERROR_FILE_NOT_FOUND.
LONG OpenKey(const RegKey& key, REGSAM access, CKeyHolder& hkey);

RegValue ReadValue(const RegKey& key, const char* name);
// Every value of the key by name; empty when the key is missing.
std::map<std::string, RegValue> ReadAllValues(const RegKey& key);
LONG WriteValue(const RegKey& key, const char* name, DWORD type, const void* data, DWORD size);
LONG WriteValue(const RegKey& key, const char* name, const RegValue& value);

// absent when the value is missing or not a DWORD.
DWORD ReadDword(const RegKey& key, const char* name, DWORD absent);
LONG WriteDword(const RegKey& key, const char* name, DWORD value);

// "" when the value is missing or not a string.
std::string ReadString(const RegKey& key, const char* name);
LONG WriteString(const RegKey& key, const char* name, const std::string& text);

// A value or key that is not there is already deleted.
LONG DeleteValue(const RegKey& key, const char* name);
LONG CreateKey(const RegKey& key);
// The key with its values; it must have no subkeys.
LONG DeleteKey(const RegKey& key);
bool KeyExists(const RegKey& key);

}  // namespace testbed
