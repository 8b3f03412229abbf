// One run of the fault build and what the sweep makes of it: the stand-ins' log
// read back, the rules every run is judged by, the failure runs a recording plans.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/faults/FaultCalls.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/RunChanges.h"
#include "tests/testbed/User.h"

namespace sweep {

struct Scenario {
    const char* name;
    testbed::Alarms alarms;
    const char* driverPath;
    // The answer to the prompt, with the box ticked; none on a machine that
    // needs no prompt.
    std::optional<user::Choice> choice;
    bool restart;  // the answer to the restart question
};

// What the environment asks of the sweep.
struct Sweep {
    bool full;         // SENTAVIO_SWEEP=full: every way of every call
    std::string only;  // SENTAVIO_SWEEP_ONLY: the one function whose calls fail
    std::string exe;
};

struct LogLine {
    std::string function;
    int call = 0;
    std::string site;
    bool failed = false;
    std::string detail;
};

struct Run {
    user::Session session;
    std::vector<LogLine> log;
    std::vector<std::string> logNotes;  // the stand-ins' own lines
    bool restartRequested = false;
};

// Runs the fault build with this fault ("" for a recording run), answering every
// window it shows as the scenario's user, and reads what its stand-ins logged.
Run RunProgram(const Scenario& s, const std::string& fault, const std::string& exe);

struct Verdict {
    testbed::Changes changes;  // what the run changed on the machine
    std::string broken;        // the rules it broke, "; " apart; empty: a pass
};
// Every rule for one run against the machine before it (way: the failure
// this run made; none for a recording run).
Verdict Judge(const Scenario& s, const Run& run, const testbed::MachineSnapshot& before, const faults::Way* way);

// A failure run: the call of a function that fails, and the way it fails.
struct Planned {
    std::string function;
    int call;
    int way;  // 1-based
};
std::string Describe(const Planned& p);
// The failure runs of one scenario (its index): from its recording, and the
// found faults' rows, which run in every sweep.
std::vector<Planned> Plan(int scenario, const Run& recording, const Sweep& sweep);
// Where a second recording departs from the first; empty when they agree.
std::string Departure(const Run& first, const Run& second);

}  // namespace sweep
