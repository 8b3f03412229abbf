#include "PolicyRecord.h"

#include <powrprof.h>
#include <stddef.h>
#include <string.h>

namespace {

// The five fields, where the platform's record declares them: the critical
// and the low entry of DischargePolicy.
constexpr DWORD kCriticalEnable =
    offsetof(GLOBAL_POWER_POLICY, user.DischargePolicy[DISCHARGE_POLICY_CRITICAL].Enable);
constexpr DWORD kCriticalLevel =
    offsetof(GLOBAL_POWER_POLICY, user.DischargePolicy[DISCHARGE_POLICY_CRITICAL].BatteryLevel);
constexpr DWORD kCriticalAction =
    offsetof(GLOBAL_POWER_POLICY, user.DischargePolicy[DISCHARGE_POLICY_CRITICAL].PowerPolicy.Action);
constexpr DWORD kCriticalEventCode =
    offsetof(GLOBAL_POWER_POLICY, user.DischargePolicy[DISCHARGE_POLICY_CRITICAL].PowerPolicy.EventCode);
constexpr DWORD kLowEnable = offsetof(GLOBAL_POWER_POLICY, user.DischargePolicy[DISCHARGE_POLICY_LOW].Enable);

// The record the power library stores is Windows 2000's on every
// architecture: a header that laid it out otherwise would not be the system's.
static_assert(sizeof(GLOBAL_POWER_POLICY) == kGlobalPowerPolicySize);
static_assert(offsetof(GLOBAL_POWER_POLICY, mach) == 176);
static_assert(kCriticalEnable == 76 && kCriticalLevel == 80 && kCriticalAction == 84 &&
              kCriticalEventCode == 92 && kLowEnable == 100);

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
