// Where the stand-in power library keeps the global power policy (where
// Windows 2000 keeps it) and the switches the test bed sets. Shared by the
// library and the test bed that prepares it.
#pragma once

#include <windows.h>

namespace standin {

// GLOBAL_USER_POWER_POLICY (176 bytes) under the current user, binary.
constexpr const char* kUserPolicyKey = "Control Panel\\PowerCfg\\GlobalPowerPolicy";
// GLOBAL_MACHINE_POWER_POLICY (16 bytes) under the local machine, binary.
constexpr const char* kMachinePolicyKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg\\GlobalPowerPolicy";
constexpr const char* kPolicyValue = "Policies";

// The test bed's switches, DWORD values under the local machine.
constexpr const char* kSwitchKey = "SOFTWARE\\Sentavio Testbed\\Power";
// What IsPwrHibernateAllowed answers, all 32 bits of it; 1 when absent.
constexpr const char* kHibernateAnswer = "HibernateAnswer";
// Nonzero: ReadGlobalPwrPolicy or WriteGlobalPwrPolicy fails.
constexpr const char* kRefuseRead = "RefuseRead";
constexpr const char* kRefuseWrite = "RefuseWrite";

// What the planted variant answers for hibernation: neither "allowed" nor
// "not allowed", so a program that loaded it cannot pass for one that did not.
constexpr DWORD kPlantedHibernateAnswer = 0x5A;

}  // namespace standin
