// Every call fails once: the fault build of the whole program on the
// simulated Windows 2000 machine, answered by the robot as a user would.
//
// For each scenario a recording run lists every call the program makes; then
// one run per call and per way it can fail (SENTAVIO_SWEEP=full), or per call
// site with its most likely failure (the quick sweep, the default);
// SENTAVIO_SWEEP_ONLY=Name fails only that function's calls, for a closer
// look. Each run is judged by rules that hold whatever failed (sweep::Judge):
// it ends by itself within a bound, without an exception or a wait no window
// asks for; Heuristics changes at most in byte 6, the power policy at most in
// its five alarm values, to the optimum, the autostart value at most by going,
// nothing else in the watched keys, and no registry write names another value;
// no restart follows a failed change (the fault build records the restart
// instead of doing it); a reported failure shows one box under the program's
// title, and a failure passed over silently is one the program may pass over.
#include <doctest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/faults/FaultRuns.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/Qualify.h"
#include "tests/testbed/Process.h"

namespace {

using sweep::Planned;
using sweep::Run;
using sweep::Scenario;
using user::Choice;

const Scenario kScenarios[] = {
    { "needs the prompt: Yes, box ticked, restart agreed", testbed::kCriticalAtFiveNoAction,
      testbed::kMakersDriverPath, Choice::Yes, true },
    { "needs the prompt: No, box ticked", testbed::kCriticalAtFiveNoAction, testbed::kMakersDriverPath,
      Choice::No, false },
    { "already at the optimum", testbed::kOptimumAlarms, testbed::kMakersDriverPath, std::nullopt, false },
    { "does not qualify", testbed::kCriticalAtFiveNoAction, testbed::kStockDriverPath, std::nullopt, false },
};
constexpr int kScenarioCount = sizeof(kScenarios) / sizeof(kScenarios[0]);

std::string Env(const char* name)
{
    char value[256] = {};
    return GetEnvironmentVariableA(name, value, sizeof(value)) != 0 ? value : "";
}

struct Counts {
    int recorded = 0;    // calls in the recording runs
    int unsteady = 0;    // scenarios whose second recording differed
    int judged = 0;      // failure runs
    int notReached = 0;  // failure runs whose failing call never came
};

// The recording run: the product's own run, which must do what the
// scenario says and make calls for the failure runs to fail.
Run Record(const Scenario& s, const sweep::Sweep& sweep, const testbed::MachineSnapshot& before)
{
    const Run recording = sweep::RunProgram(s, "", sweep.exe);
    CAPTURE(user::Describe(recording.session.windows));
    const sweep::Verdict verdict = sweep::Judge(s, recording, before, nullptr);
    CHECK(verdict.broken == "");
    CHECK(verdict.changes.flagSet == (s.choice == Choice::Yes));
    CHECK(verdict.changes.optimum == (s.choice == Choice::Yes));
    CHECK(verdict.changes.autostartGone == s.choice.has_value());
    CHECK(recording.restartRequested == s.restart);
    CHECK_MESSAGE(!recording.log.empty(), "the recording run logged no call");
    return recording;
}

// One failure run from the scenario's machine, judged; its failing call
// must come, or the run tests nothing.
void RunFailure(const Scenario& s, const Planned& p, const sweep::Sweep& sweep, const testbed::MachineSnapshot& before,
                Counts& counts)
{
    REQUIRE(testbed::RestoreSnapshot(before) == 0);
    const std::string fault = p.function + ":" + std::to_string(p.call) + ":" + std::to_string(p.way);
    const Run run = sweep::RunProgram(s, fault, sweep.exe);
    const faults::Function* f = faults::FindFunction(p.function.c_str());
    const bool reached = std::any_of(run.log.begin(), run.log.end(), [](const sweep::LogLine& l) { return l.failed; });
    ++counts.judged;
    counts.notReached += reached ? 0 : 1;
    CAPTURE(sweep::Describe(p));
    CAPTURE(user::Describe(run.session.windows));
    CHECK_MESSAGE(reached, "the failing call never came");
    CHECK(sweep::Judge(s, run, before, &f->ways[p.way - 1]).broken == "");
}

// Each run starts from the scenario's machine and is judged against it.
void SweepScenario(int index, const sweep::Sweep& sweep, Counts& counts)
{
    const Scenario& s = kScenarios[index];
    CAPTURE(std::string(s.name));
    REQUIRE(testbed::Qualify(s.alarms, "sentavio-faults.exe") == 0);
    REQUIRE(testbed::SetService(testbed::kBatteryService, s.driverPath) == 0);
    const testbed::MachineSnapshot before = testbed::TakeSnapshot();

    const Run recording = Record(s, sweep, before);
    counts.recorded += static_cast<int>(recording.log.size());
    // The same calls on every run, or the failure runs would fail others
    // than the recording names.
    REQUIRE(testbed::RestoreSnapshot(before) == 0);
    const std::string departure = sweep::Departure(recording, sweep::RunProgram(s, "", sweep.exe));
    CHECK_MESSAGE(departure == "", "a second recording differs: " << departure);
    counts.unsteady += departure.empty() ? 0 : 1;
    for (const Planned& p : sweep::Plan(index, recording, sweep))
        RunFailure(s, p, sweep, before, counts);
    REQUIRE(testbed::RestoreSnapshot(before) == 0);
}

// The counts on stdout and in the summary file the test command reads.
void Summarise(const sweep::Sweep& sweep, const Counts& counts, DWORD elapsedMs)
{
    char line[300] = {};
    std::snprintf(line, sizeof(line),
                  "fault sweep (%s): %d calls recorded in %d scenarios, %s when recorded again, %d failure runs "
                  "judged (%d where the failing call did not come), %lu s\n",
                  sweep.full ? "full" : "quick: each call site, its most likely failure", counts.recorded,
                  kScenarioCount, counts.unsteady == 0 ? "the same calls" : "OTHER calls", counts.judged, counts.notReached, static_cast<unsigned long>(elapsedMs / 1000));
    std::fputs(line, stdout);
    std::fflush(stdout);
    std::ofstream(process::DosPath(SENTAVIO_SWEEP_SUMMARY), std::ios::binary) << line;
}

}  // namespace

TEST_CASE("Every call the program makes fails once, and nothing is lost")
{
    // Before the first scenario prepares it: the machine goes back as the
    // sweep found it.
    testbed::MachineScope scope;
    DeleteFileA(process::DosPath(SENTAVIO_SWEEP_SUMMARY).c_str());
    const sweep::Sweep sweep{ Env("SENTAVIO_SWEEP") == "full", Env("SENTAVIO_SWEEP_ONLY"),
                              process::DosPath(SENTAVIO_FAULTS_EXE) };
    Counts counts;
    const DWORD started = GetTickCount();
    for (int index = 0; index < kScenarioCount; ++index)
        SweepScenario(index, sweep, counts);
    Summarise(sweep, counts, GetTickCount() - started);
}
