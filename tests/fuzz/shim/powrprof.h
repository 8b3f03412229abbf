// The global power policy record as the platform's powrprof.h lays it out,
// in fixed-width types, for the native fuzz build; PolicyRecord.cpp's
// static_asserts hold this layout and the platform's to the same offsets.
#pragma once

#include <windows.h>

typedef struct {
    DWORD Action;
    DWORD Flags;
    DWORD EventCode;
} POWER_ACTION_POLICY;

typedef struct {
    BYTE Enable;
    BYTE Spare[3];
    DWORD BatteryLevel;
    POWER_ACTION_POLICY PowerPolicy;
    DWORD MinSystemState;
} SYSTEM_POWER_LEVEL;

#define DISCHARGE_POLICY_CRITICAL 0
#define DISCHARGE_POLICY_LOW 1

typedef struct {
    DWORD Revision;
    POWER_ACTION_POLICY ButtonAndLidActions[6];  // power, sleep, lid; AC and DC
    SYSTEM_POWER_LEVEL DischargePolicy[4];
    DWORD GlobalFlags;
} GLOBAL_USER_POWER_POLICY;

typedef struct {
    DWORD Revision;
    DWORD LidOpenWake[2];
    DWORD BroadcastCapacityResolution;
} GLOBAL_MACHINE_POWER_POLICY;

typedef struct {
    GLOBAL_USER_POWER_POLICY user;
    GLOBAL_MACHINE_POWER_POLICY mach;
} GLOBAL_POWER_POLICY;
