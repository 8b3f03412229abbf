// The fault build's start, linked into sentavio-faults.exe beside the
// product's own objects, never into Sentavio.exe. The environment arms the
// stand-ins before any of the program's code runs:
//   SENTAVIO_FAULT_LOG=file       one line per call (name, its number, the
//                                 call site, what it was asked), appended
//   SENTAVIO_FAULT=Name:n[:way]   the n-th call of Name fails the way-th way
//                                 of FaultCalls.h (default 1)
// With neither set, nothing is replaced. Armed, every slot of the
// executable's import table holds a stand-in, and so does every function
// GetProcAddress finds: user32 (bound late through afxlate.h's slots) and the
// power library.
#include "FaultStandIns.h"

namespace {

// Before every other constructor: the program's own run from the first.
__attribute__((constructor(101))) void Arm()
{
    char logPath[MAX_PATH] = {};
    char fault[128] = {};
    const bool logging = GetEnvironmentVariableA("SENTAVIO_FAULT_LOG", logPath, sizeof(logPath)) != 0;
    const bool failing = GetEnvironmentVariableA("SENTAVIO_FAULT", fault, sizeof(fault)) != 0;
    if (logging || failing)
        faults::ArmWholeProgram(logging ? logPath : nullptr, failing ? fault : nullptr, afxUser32Imports,
                                afxUser32ImportCount);
}

}  // namespace
