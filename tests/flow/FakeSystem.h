// A recording stand-in for every system operation the check flow calls, linked
// in place of the real ones: the decision table needs machines that Wine
// cannot be (Windows 98, a non-administrator, a refused registry write, a
// restart that must not end the test). The dialog and the restart question
// stay real; the robot answers them.
#pragma once

#include <windows.h>

#include <string>

#include "system/PowerPolicy.h"

namespace fake {

struct Machine {
    DWORD platform = VER_PLATFORM_WIN32_NT;
    DWORD major = 5;
    BOOL admin = TRUE;
    BOOL driver = TRUE;
    HibernateState hibernate = HibernateState::Allowed;
    BOOL readOk = TRUE;
    DischargeSettings settings = { 0, 1, 5, 0, 0 };
    BOOL heuristicsOk = TRUE;
    BOOL writeOk = TRUE;
    BOOL removeOk = TRUE;
};

void Reset(const Machine& machine);
// Appends one effect to the log: the operations themselves, and the robot's
// sightings of windows.
void Record(const std::string& what);
std::string Log();

}  // namespace fake
