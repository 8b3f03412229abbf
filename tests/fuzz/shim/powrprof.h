// The global power policy record as the platform's powrprof.h lays it out,
// in fixed-width types; PolicyRecord.cpp's static_asserts hold both layouts
// to the same offsets.
#pragma once

#include <windows.h>

#define DISCHARGE_POLICY_CRITICAL 0
#define DISCHARGE_POLICY_LOW 1

typedef struct { DWORD Action, Flags, EventCode; } POWER_ACTION_POLICY;
typedef struct { BYTE Enable, Spare[3]; DWORD BatteryLevel; POWER_ACTION_POLICY PowerPolicy; DWORD MinSystemState; }
    SYSTEM_POWER_LEVEL;
// Revision, the six button and lid actions (AC and DC), the discharge policies.
typedef struct { DWORD Revision; POWER_ACTION_POLICY ButtonAndLid[6]; SYSTEM_POWER_LEVEL DischargePolicy[4]; DWORD GlobalFlags; }
    GLOBAL_USER_POWER_POLICY;
typedef struct { DWORD Revision, LidOpenWakeAc, LidOpenWakeDc, BroadcastCapacityResolution; } GLOBAL_MACHINE_POWER_POLICY;
typedef struct { GLOBAL_USER_POWER_POLICY user; GLOBAL_MACHINE_POWER_POLICY mach; } GLOBAL_POWER_POLICY;
