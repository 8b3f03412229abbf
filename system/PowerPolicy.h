// The battery alarms of the system's global power policy, reached through the
// platform's power-management library.
#pragma once

#include <windows.h>

// The five battery-alarm values, always in this order.
struct DischargeSettings {
    DWORD dwCriticalAlarmEnabled;  // critical entry's Enable byte, zero-extended
    DWORD dwLowAlarmEnabled;       // low entry's Enable byte, zero-extended
    DWORD dwCriticalLevel;         // percent
    DWORD dwCriticalAction;        // a POWER_ACTION
    DWORD dwCriticalEventCode;
};

enum class HibernateState {
    NotAllowed,
    Allowed,
    Failed,  // the check must end; any error has been shown already
};

HibernateState IsHibernateAllowed();

// TRUE with all five values filled; FALSE after the error has been shown.
BOOL ReadDischargeSettings(DischargeSettings& out);

// Stores the five values into the policy, every other byte unchanged. TRUE
// when the system accepted it; FALSE after the error has been shown.
BOOL WriteDischargeSettings(const DischargeSettings& in);
