#include "PolicyRecord.h"

#include <string.h>

namespace {

// DischargePolicy[0] (critical) starts at 76 and DischargePolicy[1] (low) at
// 100; each SYSTEM_POWER_LEVEL is Enable, 3 spare bytes, BatteryLevel,
// PowerPolicy { Action, Flags, EventCode }, MinSystemState.
constexpr DWORD kCriticalEnable = 76;
constexpr DWORD kCriticalLevel = 80;
constexpr DWORD kCriticalAction = 84;
constexpr DWORD kCriticalEventCode = 92;
constexpr DWORD kLowEnable = 100;

// The record comes from the system with no alignment promise.
DWORD LoadDword(const BYTE* record, DWORD offset)
{
    DWORD value = 0;
    memcpy(&value, record + offset, sizeof(value));
    return value;
}

void StoreDword(BYTE* record, DWORD offset, DWORD value)
{
    memcpy(record + offset, &value, sizeof(value));
}

}  // namespace

void ReadDischargeFields(const BYTE* record, DischargeSettings& settings)
{
    settings.dwCriticalAlarmEnabled = record[kCriticalEnable];
    settings.dwLowAlarmEnabled = record[kLowEnable];
    settings.dwCriticalLevel = LoadDword(record, kCriticalLevel);
    settings.dwCriticalAction = LoadDword(record, kCriticalAction);
    settings.dwCriticalEventCode = LoadDword(record, kCriticalEventCode);
}

void StoreDischargeFields(BYTE* record, const DischargeSettings& settings)
{
    record[kCriticalEnable] = LOBYTE(settings.dwCriticalAlarmEnabled);
    record[kLowEnable] = LOBYTE(settings.dwLowAlarmEnabled);
    StoreDword(record, kCriticalLevel, settings.dwCriticalLevel);
    StoreDword(record, kCriticalAction, settings.dwCriticalAction);
    StoreDword(record, kCriticalEventCode, settings.dwCriticalEventCode);
}
