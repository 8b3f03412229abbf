// The one machine scope: what a test may change on the shared simulated
// machine, recorded when the scope starts and put back when it ends.
#pragma once

#include <string>

#include "testbed/Machine.h"
#include "testbed/Registry.h"

namespace testbed {

// The Windows version Sentavio.exe sees, the battery service, the power key
// with its Heuristics value and Sentavio's autostart value are put back as
// they were; the power library goes back to Wine's own, as a fresh prefix
// has it.
class MachineScope {
public:
    MachineScope();
    ~MachineScope();
    MachineScope(const MachineScope&) = delete;
    MachineScope& operator=(const MachineScope&) = delete;

private:
    std::string m_version;
    ServiceState m_service;
    bool m_powerKey;
    RegValue m_heuristics;
    RegValue m_autostart;
};

}  // namespace testbed
