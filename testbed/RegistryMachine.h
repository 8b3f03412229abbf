// The simulated machine's registry area: the power "Heuristics" value (and
// the key that holds it) and the values under the machine-wide Run key,
// Sentavio's own autostart value among them.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace testbed {

constexpr const char* kPowerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Power";
constexpr const char* kHeuristicsValue = "Heuristics";
constexpr DWORD kHeuristicsFlagByte = 6;
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kAutostartValue = "Sentavio";

// A value under HKEY_LOCAL_MACHINE as the 8-bit registry calls see it.
struct RegValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;

    bool operator==(const RegValue&) const = default;
};

RegValue ReadValue(const char* key, const char* name);
// Creates the key when needed. Answers 0 or the registry's error.
LONG WriteValue(const char* key, const char* name, DWORD type, const std::vector<BYTE>& bytes);
LONG WriteString(const char* key, const char* name, const std::string& text);
// A value that is not there is already deleted.
LONG DeleteValue(const char* key, const char* name);
// Every value of the key by name; empty when the key is missing.
std::map<std::string, RegValue> ReadAllValues(const char* key);

// The power key exists on Windows 2000 but not in a fresh Wine prefix.
LONG CreatePowerKey();
// Removes the power key with its values: opening it then fails with 2.
LONG DeletePowerKey();
bool PowerKeyExists();

// size bytes that differ from their neighbours and from the flag values: a
// lost or moved byte shows.
std::vector<BYTE> Pattern(DWORD size);
// A value of this type and size as tests store it: binary and number get
// Pattern(size); a string gets printable characters ending in its
// terminator, so the 8-bit calls read back exactly these bytes.
std::vector<BYTE> ValueBytes(DWORD type, DWORD size);

// "binary", "string", "number"; REG_NONE for any other word.
DWORD TypeFromName(const std::string& name);
std::string TypeName(DWORD type);

}  // namespace testbed
