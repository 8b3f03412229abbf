// The whole simulated machine: the one machine scope (what a test may change on the shared machine,
// recorded when the scope starts and put back when it ends), the one way to prepare a machine that
// qualifies, and the one judge of what a run of the program changed. The tool offers them to the
// scripts as "scope save FILE", "scope restore FILE" and "qualify".
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/testbed/Machine.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/Registry.h"

namespace testbed {

// What is recorded and put back: the Windows version Sentavio.exe sees, the battery service, the power
// library in place, and every value of the watched keys (MachineScope.cpp); a key that was missing is
// deleted again.
struct MachineSnapshot {
    struct Key {
        bool present = false;
        std::map<std::string, RegValue> values;
    };
    std::string version;
    ServiceState service;
    std::string library;  // as the switches name it; "" for Wine's own
    std::vector<Key> keys;  // those watched, in their order
};

MachineSnapshot TakeSnapshot();
// Writes only what differs. A restore that fails is named on stderr and counted; answers how many.
int RestoreSnapshot(const MachineSnapshot& snapshot);

// The test programs' main fails when any restore failed, so that a restore fails where it happens and
// not as another test's puzzle later.
class MachineScope {
public:
    MachineScope() : m_saved(TakeSnapshot()) {}
    ~MachineScope() { RestoreSnapshot(m_saved); }
    MachineScope(const MachineScope&) = delete;
    MachineScope& operator=(const MachineScope&) = delete;

    // Restores that failed in this process so far.
    static int FailedRestores();

private:
    MachineSnapshot m_saved;
};

// A machine that Sentavio.exe (or the program named) prompts on: Windows 2000, the maker's driver
// behind "cmbatt", the usual power machine with these alarms, a 20-byte binary Heuristics value whose
// byte 6 is neither 0 nor 1, the bystanders, and the program's own Run value. Answers 0 or the error.
constexpr const char* kAutostartCommand = "C:\\Sentavio\\Sentavio.exe";
DWORD Qualify(const Alarms& alarms = kCriticalAtFiveNoAction, const char* program = kSentavioExe);

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
