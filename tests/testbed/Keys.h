// Every registry key the simulated machine, the stand-in power library and
// the tests touch, each with its hive, and the names of the values in them.
#pragma once

#include <string_view>

namespace testbed {

enum class Hive { LocalMachine, CurrentUser };

// Constants, so that a library built with them has nothing to set up when
// it loads.
struct RegKey {
    Hive hive;
    const char* path;

    // The same key, whichever file's copy of a constant below each side is.
    constexpr bool operator==(const RegKey& other) const
    {
        return hive == other.hive && std::string_view(path) == other.path;
    }
};

// ---- Windows' own, where Windows 2000 keeps them ---------------------------

constexpr RegKey kPowerKey = { Hive::LocalMachine,
                               "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Power" };
constexpr const char* kHeuristicsValue = "Heuristics";

constexpr RegKey kRunKey = { Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run" };
constexpr const char* kAutostartValue = "Sentavio";

// The global power policy: GLOBAL_USER_POWER_POLICY (176 bytes) under the
// user, GLOBAL_MACHINE_POWER_POLICY (16 bytes) under the machine, binary.
constexpr RegKey kUserPolicyKey = { Hive::CurrentUser, "Control Panel\\PowerCfg\\GlobalPowerPolicy" };
constexpr RegKey kMachinePolicyKey = {
    Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg\\GlobalPowerPolicy"
};
constexpr const char* kPolicyValue = "Policies";

// The battery service's configuration, as the service manager keeps it.
constexpr RegKey kBatteryServiceKey = { Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\cmbatt" };

// ---- Wine's ----------------------------------------------------------------

// Settings for one program: the key AppDefaults\<program>, with the value
// "Version" and the subkey "DllOverrides".
constexpr RegKey kAppDefaultsKey = { Hive::CurrentUser, "Software\\Wine\\AppDefaults" };
constexpr const char* kVersionValue = "Version";
// The fault build's own settings (tests/faults).
constexpr RegKey kFaultBuildSettingsKey = { Hive::CurrentUser, "Software\\Wine\\AppDefaults\\sentavio-faults.exe" };
// Per library name: "native", "builtin", or empty for not at all.
constexpr RegKey kDllOverridesKey = { Hive::CurrentUser, "Software\\Wine\\DllOverrides" };

// ---- The test bed's own ----------------------------------------------------

// DWORD switches that the stand-in power library reads on every call.
constexpr RegKey kSwitchKey = { Hive::LocalMachine, "SOFTWARE\\Sentavio Testbed\\Power" };
// What IsPwrHibernateAllowed answers, all 32 bits of it; 1 when absent.
constexpr const char* kHibernateAnswerValue = "HibernateAnswer";
// The name of the power library last put in place, for the report.
constexpr const char* kLibraryValue = "Library";

// A key that nothing creates.
constexpr RegKey kMissingKey = { Hive::LocalMachine, "SOFTWARE\\Sentavio Testbed\\No such key" };

}  // namespace testbed
