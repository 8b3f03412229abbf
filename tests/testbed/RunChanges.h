// The one judge of what a run of the program changed on the simulated machine.
#pragma once

#include <string>

#include "tests/testbed/MachineScope.h"

namespace testbed {

// What a run of the program changed against the machine before it: what it may change, each as the
// program changes it, and in words all else.
struct Changes {
    bool flagSet = false;        // Heuristics byte 6 set, every other byte kept
    bool optimum = false;        // the alarms set to the optimum, every other byte kept
    bool autostartGone = false;  // the program's own Run value deleted
    std::string others;          // anything else, "; " apart; empty when nothing
};
Changes ChangesSince(const MachineSnapshot& before);

}  // namespace testbed
