// The one machine scope: what a test may change on the shared simulated
// machine, recorded when the scope starts and put back when it ends.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "testbed/Machine.h"
#include "testbed/Registry.h"

namespace testbed {

// Put back as they were: the Windows version Sentavio.exe sees, the battery
// service, the power library in place, and every value of the power key,
// the Run key, the power policy, the stand-in library's switches and the
// fault build's settings (a key that was missing is deleted again).
//
// A restore that fails is named on stderr and counted: the test program's
// main fails when any did, so that it fails here and not as another test's
// puzzle later.
class MachineScope {
public:
    MachineScope();
    ~MachineScope();
    MachineScope(const MachineScope&) = delete;
    MachineScope& operator=(const MachineScope&) = delete;

    // Restores that failed in this process so far.
    static int FailedRestores();

private:
    struct KeyState {
        const RegKey* key;
        bool present;
        std::map<std::string, RegValue> values;
    };

    std::string m_version;
    ServiceState m_service;
    std::string m_library;
    std::vector<KeyState> m_keys;
};

}  // namespace testbed
