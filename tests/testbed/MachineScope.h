// The one machine scope: what a test may change on the shared simulated
// machine, recorded when the scope starts and put back when it ends. The
// tool offers the same as "scope save FILE" and "scope restore FILE", for
// the tests that are scripts.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/testbed/Machine.h"
#include "tests/testbed/Registry.h"

namespace testbed {

// What is put back: the Windows version Sentavio.exe sees, the battery
// service, the power library in place, and every value of the power key,
// the Run key, the power policy, the stand-in library's switches and the
// fault build's settings (a key that was missing is deleted again).
struct MachineSnapshot {
    struct Key {
        bool present = false;
        std::map<std::string, RegValue> values;
    };
    std::string version;
    ServiceState service;
    std::string library;  // as the switches name it; "" for Wine's own
    std::vector<Key> keys;
};

MachineSnapshot TakeSnapshot();
// Writes only what differs. A restore that fails is named on stderr and
// counted; answers how many failed.
int RestoreSnapshot(const MachineSnapshot& snapshot);
// One key as saved: deleted if it was missing, else exactly its values.
int RestoreKey(const RegKey& key, const MachineSnapshot::Key& saved);

// The test programs' main fails when any restore failed, so that a restore
// fails where it happens and not as another test's puzzle later.
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

}  // namespace testbed
