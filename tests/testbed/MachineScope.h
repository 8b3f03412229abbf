// The one machine scope: what a test may change on the shared machine, recorded when the scope starts
// and put back when it ends. The tool offers it to the scripts through a file (SnapshotFile.cpp).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/testbed/Machine.h"
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

// The keys a snapshot holds, in its order, and one value as a snapshot holds it.
extern const std::vector<const RegKey*> kScopedKeys;
RegValue ValueIn(const MachineSnapshot& snapshot, const RegKey& key, const std::string& name);

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

}  // namespace testbed
