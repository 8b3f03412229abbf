// The one probe for handles an operation leaves behind: every handle the
// process holds, before and after, and every close of INVALID_HANDLE_VALUE
// meanwhile, which answers success and closes nothing (the value is also the
// process's own pseudo handle): only CloseHandle's stand-in sees a holder
// close what a failed snapshot or file open answered.
#pragma once

#include <windows.h>

#include <vector>

#include "tests/faults/FaultStandIns.h"

namespace handles {

// Measures from its start. Start it while no robot thread runs: the window
// system opens keys of its own for a thread while it runs. One at a time.
class CWatch {
public:
    CWatch();

    // The same handles are open as at the start.
    bool Unchanged() const;
    // How many more are open than at the start.
    int Added() const;
    int InvalidCloses() const;

private:
    std::vector<HANDLE> m_before;
    faults::CFault m_closes;
};

}  // namespace handles
