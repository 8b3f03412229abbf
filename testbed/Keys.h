// Every registry key the simulated machine, the stand-in power library and
// the tests touch, each with its hive, and the names of the values in them.
#pragma once

#include <windows.h>

#include <string>

namespace testbed {

struct RegKey {
    HKEY root;
    std::string path;

    RegKey Sub(const std::string& name) const { return { root, path + "\\" + name }; }
};

// ---- Windows' own, where Windows 2000 keeps them ---------------------------

inline const RegKey kPowerKey = { HKEY_LOCAL_MACHINE,
                                  "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Power" };
constexpr const char* kHeuristicsValue = "Heuristics";

inline const RegKey kRunKey = { HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run" };
constexpr const char* kAutostartValue = "Sentavio";

// The global power policy: GLOBAL_USER_POWER_POLICY (176 bytes) under the
// user, GLOBAL_MACHINE_POWER_POLICY (16 bytes) under the machine, binary.
inline const RegKey kUserPolicyKey = { HKEY_CURRENT_USER, "Control Panel\\PowerCfg\\GlobalPowerPolicy" };
inline const RegKey kMachinePolicyKey = {
    HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg\\GlobalPowerPolicy"
};
constexpr const char* kPolicyValue = "Policies";

// ---- Wine's ----------------------------------------------------------------

// Settings for one program: the key AppDefaults.Sub("Sentavio.exe"), with
// the value "Version" and the subkey "DllOverrides".
inline const RegKey kAppDefaultsKey = { HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults" };
constexpr const char* kVersionValue = "Version";
// Per library name: "native", "builtin", or empty for not at all.
inline const RegKey kDllOverridesKey = { HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides" };

// ---- The test bed's own ----------------------------------------------------

// DWORD switches that the stand-in power library reads on every call.
inline const RegKey kSwitchKey = { HKEY_LOCAL_MACHINE, "SOFTWARE\\Sentavio Testbed\\Power" };
// What IsPwrHibernateAllowed answers, all 32 bits of it; 1 when absent.
constexpr const char* kHibernateAnswerValue = "HibernateAnswer";
// Nonzero: ReadGlobalPwrPolicy or WriteGlobalPwrPolicy fails.
constexpr const char* kRefuseReadValue = "RefuseRead";
constexpr const char* kRefuseWriteValue = "RefuseWrite";
// The name of the power library last put in place, for the report.
constexpr const char* kLibraryValue = "Library";

// A key that nothing creates.
inline const RegKey kMissingKey = { HKEY_LOCAL_MACHINE, "SOFTWARE\\Sentavio Testbed\\No such key" };

}  // namespace testbed
