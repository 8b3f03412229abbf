// Where the five battery-alarm values sit in the system's global power
// policy record (GLOBAL_POWER_POLICY: the user part, then the machine part).
// Plain byte handling: no window, library or registry needed.
#pragma once

#include <windows.h>

#include "PowerPolicy.h"

// 176 bytes of user policy followed by 16 bytes of machine policy.
constexpr DWORD kGlobalPowerPolicySize = 192;

// Fills settings from the record: the two Enable bytes zero-extended, the
// other three fields as they are.
void ReadDischargeFields(const BYTE* record, DischargeSettings& settings);

// Stores settings into the record, the two Enable values as their low bytes;
// every other byte of the record keeps its value.
void StoreDischargeFields(BYTE* record, const DischargeSettings& settings);
