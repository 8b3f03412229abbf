// Every call fails once: the fault build of the whole program on the
// simulated Windows 2000 machine, answered by the robot as a user would.
//
// For each scenario a recording run lists every call the program makes;
// then one run per call and per way it can fail (the full sweep), or per
// call site with its most likely failure (the quick sweep, the default).
// Each run is judged by rules that hold whatever failed:
//   - it ends by itself within a bound, without an exception, and never
//     waits for an answer no window asks for;
//   - Heuristics unchanged, or unchanged but byte 6 set; the power policy
//     unchanged, or the five alarm values at the optimum with every other
//     byte as it was; the autostart value there or gone; nothing else in
//     the watched keys changed, and no registry write names another value;
//   - no restart after a failed Heuristics write, policy write or autostart
//     removal (the fault build records the restart instead of doing it);
//   - a reported failure shows one box, captioned with the program's title;
//     a failure passed over silently is one the program may pass over.
//
// SENTAVIO_SWEEP=full selects the full sweep; SENTAVIO_SWEEP_ONLY=Name
// restricts the failure runs to one function (for a closer look).
#include <doctest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/Process.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/RegistryMachine.h"
#include "tests/testbed/User.h"
#include "tests/faults/FaultCalls.h"
#include "tests/support/Texts.h"

namespace {

constexpr const char* kProgram = "sentavio-faults.exe";
// Far above any run's own time (well under a second on Wine): a run that
// takes longer waits for something that will not come.
constexpr DWORD kRunBoundMs = 15000;
// An answered window still up after this is answered again, as a user
// whose click did nothing would click again.
constexpr DWORD kAnswerAgainMs = 2000;

// ---- Scenarios ---------------------------------------------------------------

using user::Choice;

struct Scenario {
    const char* name;
    testbed::Alarms alarms;
    const char* driverPath;
    // The answer to the prompt, with the box ticked; none on a machine that
    // needs no prompt.
    std::optional<Choice> choice;
    bool restart;  // the answer to the restart question
};

const Scenario kScenarios[] = {
    { "needs the prompt: Yes, box ticked, restart agreed", testbed::kCriticalAtFiveNoAction,
      testbed::kMakersDriverPath, Choice::Yes, true },
    { "needs the prompt: No, box ticked", testbed::kCriticalAtFiveNoAction, testbed::kMakersDriverPath,
      Choice::No, false },
    { "already at the optimum", testbed::kOptimumAlarms, testbed::kMakersDriverPath, std::nullopt, false },
    { "does not qualify", testbed::kCriticalAtFiveNoAction, testbed::kStockDriverPath, std::nullopt, false },
};
constexpr int kScenarioCount = sizeof(kScenarios) / sizeof(kScenarios[0]);

// Faults the sweep found, kept as rows that run in every sweep: the
// scenario, the failing call, and what the program did before it was mended.
struct FoundRow {
    int scenario;  // index into kScenarios
    const char* function;
    int call;
    const char* before;
};

#if defined(__i386__)
constexpr const char* kSetWindowLong = "SetWindowLongA";
#else
constexpr const char* kSetWindowLong = "SetWindowLongPtrA";
#endif

const FoundRow kFoundRows[] = {
    { 3, "malloc", 2,
      "the driver file's name was lost, the empty name matched every binary path, and a machine "
      "without the maker's driver got the prompt" },
    { 0, kSetWindowLong, 1,
      "the prompt kept no link to its object: no button answered, and the program never ended" },
};

// ---- The watched part of the registry ------------------------------------------

const testbed::RegKey kWatched[] = {
    testbed::kPowerKey,         testbed::kRunKey,           testbed::kMachinePolicyKey,
    testbed::kUserPolicyKey,    testbed::kSwitchKey,        testbed::kBatteryServiceKey,
    testbed::kFaultBuildSettingsKey,
};

using Values = std::map<std::string, testbed::RegValue>;
using Registry = std::vector<Values>;  // in the order of kWatched

Registry ReadRegistry()
{
    Registry registry;
    for (const testbed::RegKey& k : kWatched)
        registry.push_back(testbed::ReadAllValues(k));
    return registry;
}

// Puts every watched key back as it was, as the machine scope does.
void Restore(const Registry& registry)
{
    for (size_t i = 0; i < registry.size(); ++i)
        REQUIRE(testbed::RestoreKey(kWatched[i], { true, registry[i] }) == 0);
}

// ---- One run of the fault build ---------------------------------------------------

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

std::string LogPath()
{
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "sentavio-faults.log";
}

void ReadLog(const std::string& path, Run& run)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line == "restart requested") {
            run.restartRequested = true;
            continue;
        }
        std::istringstream fields(line);
        LogLine l;
        std::string call, mark;
        if (std::getline(fields, l.function, '\t') && std::getline(fields, call, '\t') &&
            std::getline(fields, l.site, '\t') && std::getline(fields, mark, '\t')) {
            std::getline(fields, l.detail);
            l.call = std::atoi(call.c_str());
            l.failed = mark == "FAIL";
            run.log.push_back(l);
        } else {
            run.logNotes.push_back(line);
        }
    }
}

// The scenario's user: ticks the box and gives its answers (a prompt that
// should not come is cancelled).
user::Answers AnswersFor(const Scenario& s)
{
    user::Answers answers;
    answers.choice = s.choice.value_or(Choice::Cancel);
    answers.tick = true;
    answers.restart = s.restart;
    return answers;
}

// Runs the fault build with this fault ("" for a recording run), answering
// every window it shows, and reads what its stand-ins logged.
Run RunProgram(const Scenario& s, const std::string& fault, const std::string& exe)
{
    const std::string logPath = LogPath();
    DeleteFileA(logPath.c_str());
    // The program inherits them.
    SetEnvironmentVariableA("SENTAVIO_FAULT_LOG", logPath.c_str());
    SetEnvironmentVariableA("SENTAVIO_FAULT", fault.empty() ? nullptr : fault.c_str());

    user::RunOptions options;
    options.commandLine = "\"" + exe + "\"";
    options.timeoutMs = kRunBoundMs;
    options.answerAgainMs = kAnswerAgainMs;
    Run run;
    run.session = user::RunSentavio(AnswersFor(s), options);
    ReadLog(logPath, run);
    return run;
}

// ---- Judging ----------------------------------------------------------------

bool SameButFlag(const testbed::RegValue& before, const testbed::RegValue& after)
{
    if (!after.present || after.type != before.type || after.bytes.size() != before.bytes.size() ||
        before.bytes.size() <= testbed::kHeuristicsFlagByte)
        return false;
    testbed::RegValue flagged = before;
    flagged.bytes[testbed::kHeuristicsFlagByte] = 1;
    return after == flagged;
}

struct Outcome {
    bool flagSet = false;
    bool optimum = false;
    bool autostartGone = false;
};

using Broken = std::vector<std::string>;  // the rules a run broke, in words

// The program ends by itself within the bound, without an exception, and
// never waits for an answer no window asks for. FALSE when it did not even
// start: nothing else can be judged then.
bool JudgeEnd(const Run& run, Broken& broken)
{
    const user::Session& session = run.session;
    if (!session.started) {
        broken.push_back("the program did not start: error " + std::to_string(session.startError));
        return false;
    }
    if (!session.ended)
        broken.push_back(session.windowUpAtBound ? "still running with a window nobody could answer"
                                                 : "still running, waiting with no window up");
    else if (session.exitCode >= 0xC0000000)
        broken.push_back("ended by an exception");
    return true;
}

// The power policy after a run: as before, or at the optimum alarms with
// every other byte as before (TRUE).
bool PolicyAtOptimum(const GLOBAL_POWER_POLICY& policyBefore, Broken& broken)
{
    GLOBAL_POWER_POLICY policyAfter = {};
    if (testbed::LoadPowerPolicy(policyAfter) != ERROR_SUCCESS) {
        broken.push_back("the power policy cannot be read back");
        return false;
    }
    GLOBAL_POWER_POLICY optimum = policyBefore;
    testbed::SetAlarms(optimum, testbed::kOptimumAlarms);
    const bool atOptimum = std::memcmp(&policyAfter, &optimum, sizeof(optimum)) == 0 &&
                           std::memcmp(&policyAfter, &policyBefore, sizeof(optimum)) != 0;
    if (!atOptimum && std::memcmp(&policyAfter, &policyBefore, sizeof(policyBefore)) != 0)
        broken.push_back("the power policy changed otherwise than to the optimum alarms");
    return atOptimum;
}

// The watched values after a run: each as before, but Heuristics with its
// flag set and the autostart value gone, which the outcome records.
void ValueChanges(const Registry& before, Outcome& outcome, Broken& broken)
{
    const Registry after = ReadRegistry();
    for (size_t i = 0; i < before.size(); ++i) {
        const char* path = kWatched[i].path;
        // The policy is judged as a whole.
        if (std::strcmp(path, testbed::kMachinePolicyKey.path) == 0 ||
            std::strcmp(path, testbed::kUserPolicyKey.path) == 0)
            continue;
        std::set<std::string> names;
        for (const auto& [name, v] : before[i])
            names.insert(name);
        for (const auto& [name, v] : after[i])
            names.insert(name);
        for (const std::string& name : names) {
            const auto b = before[i].count(name) ? before[i].at(name) : testbed::RegValue{};
            const auto a = after[i].count(name) ? after[i].at(name) : testbed::RegValue{};
            if (a == b)
                continue;
            if (std::strcmp(path, testbed::kPowerKey.path) == 0 && name == testbed::kHeuristicsValue &&
                SameButFlag(b, a)) {
                outcome.flagSet = true;
                continue;
            }
            if (std::strcmp(path, testbed::kRunKey.path) == 0 && name == testbed::kAutostartValue && !a.present) {
                outcome.autostartGone = true;
                continue;
            }
            broken.push_back(std::string("value \"") + name + "\" of " + path + " changed");
        }
    }
}

// What the program changed on the machine against the state before it ran;
// what changed as it may is returned for the restart rule.
Outcome MachineChanges(const Registry& before, const GLOBAL_POWER_POLICY& policyBefore, Broken& broken)
{
    Outcome outcome;
    outcome.optimum = PolicyAtOptimum(policyBefore, broken);
    ValueChanges(before, outcome, broken);
    return outcome;
}

// Nothing changes but Heuristics byte 6, the five alarm values and the
// autostart value, and no registry write names another value.
Outcome JudgeChanges(const Run& run, const Registry& before, const GLOBAL_POWER_POLICY& policyBefore,
                     Broken& broken)
{
    for (const LogLine& l : run.log) {
        if (!l.failed && l.function == "RegSetValueExA" && l.detail != testbed::kHeuristicsValue)
            broken.push_back("wrote the value \"" + l.detail + "\"");
        if (!l.failed && l.function == "RegDeleteValueA" && l.detail != testbed::kAutostartValue)
            broken.push_back("deleted the value \"" + l.detail + "\"");
    }
    return MachineChanges(before, policyBefore, broken);
}

// No restart follows a failed Heuristics write, policy write or autostart
// removal.
void JudgeRestart(const Run& run, const Outcome& outcome, Broken& broken)
{
    // The removal was tried when the Run key was opened; a tick lost on the
    // way (a window call that failed) tries none.
    bool removalTried = false;
    for (const LogLine& l : run.log)
        removalTried = removalTried || (l.function == "RegOpenKeyExA" && l.detail == testbed::kRunKey.path);
    if (run.restartRequested && (!outcome.flagSet || !outcome.optimum || (removalTried && !outcome.autostartGone)))
        broken.push_back("restart requested after a failed Heuristics write, policy write or autostart removal");
}

// What the restart's OpenProcessToken asks for (the probe's asks only to
// query); the stand-ins log it as C prints it.
constexpr DWORD kRestartTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;

// Failures the program must show: those of its settings and restart
// operations. Everything else (the machine probes, texts, windows,
// releases, results the flow does not test) it may pass over.
bool MustReport(const LogLine& failed, const faults::Way& way)
{
    const std::string& f = failed.function;
    if (f == "LoadLibraryA")
        return failed.detail.find("powrprof.dll") != std::string::npos;
    if (f == "GetProcAddress")
        return failed.detail == "IsPwrHibernateAllowed" || failed.detail == "ReadGlobalPwrPolicy" ||
               failed.detail == "WriteGlobalPwrPolicy";
    if (f == "OpenProcessToken")
        return std::strtoul(failed.detail.c_str(), nullptr, 0) == kRestartTokenAccess;
    if (f == "AdjustTokenPrivileges")
        return way.kind == faults::Kind::Bool;
    static const std::set<std::string> always = { "GetSystemDirectoryA", "ReadGlobalPwrPolicy",
                                                  "WriteGlobalPwrPolicy", "RegOpenKeyExA",
                                                  "RegQueryValueExA", "RegSetValueExA",
                                                  "RegDeleteValueA", "calloc", "ExitWindowsEx" };
    return always.count(f) != 0;
}

// Every reported failure is one box under the program's title, a failure
// the program must report is not passed over (way: the failure this run
// made; none for a recording run), and the prompt comes only where the
// machine needs it.
void JudgeBoxes(const Scenario& s, const Run& run, const faults::Way* way, Broken& broken)
{
    const std::string title = texts::Text(IDS_TITLE);
    int errorBoxes = 0;
    for (const user::Seen& w : run.session.windows) {
        if (w.kind == user::Kind::Prompt && !s.choice)
            broken.push_back("the prompt on a machine that needs none");
        if (w.kind == user::Kind::ErrorBox) {
            ++errorBoxes;
            if (w.window.caption != title)
                broken.push_back("an error box captioned \"" + w.window.caption + "\" saying \"" + w.text + "\"");
        }
    }
    if (errorBoxes > 1)
        broken.push_back(std::to_string(errorBoxes) + " error boxes for one failure");
    if (way != nullptr && errorBoxes == 0)
        for (const LogLine& l : run.log)
            if (l.failed && MustReport(l, *way))
                broken.push_back("the failure passed over without a word");
}

// Every rule for one run; an empty answer is a pass. The stand-ins' own
// lines (a request they could not read, a function the table lacks) break
// the sweep itself.
Broken Judge(const Scenario& s, const Run& run, const Registry& before, const GLOBAL_POWER_POLICY& policyBefore,
             const faults::Way* way)
{
    Broken broken;
    if (!JudgeEnd(run, broken))
        return broken;
    for (const std::string& note : run.logNotes)
        broken.push_back("stand-ins say: " + note);
    const Outcome outcome = JudgeChanges(run, before, policyBefore, broken);
    JudgeRestart(run, outcome, broken);
    JudgeBoxes(s, run, way, broken);
    return broken;
}

// ---- The sweep ----------------------------------------------------------------

void PrepareMachine(const Scenario& s)
{
    REQUIRE(testbed::PreparePowerMachine(s.alarms) == 0);
    REQUIRE(testbed::SetService(testbed::kBatteryService, s.driverPath) == 0);
    REQUIRE(testbed::SetProgramVersion("win2k", kProgram) == 0);
    REQUIRE(testbed::WriteBystanders() == 0);
    // Byte 6 is neither 0 nor 1 in the pattern, so setting it shows.
    REQUIRE(testbed::WriteValue(testbed::kPowerKey, testbed::kHeuristicsValue,
                                { true, REG_BINARY, testbed::Pattern(20) }) == 0);
    REQUIRE(testbed::WriteString(testbed::kRunKey, testbed::kAutostartValue, "C:\\Sentavio\\Sentavio.exe") == 0);
}

std::string Env(const char* name)
{
    char value[256] = {};
    return GetEnvironmentVariableA(name, value, sizeof(value)) != 0 ? value : "";
}

// What the environment asks of the sweep.
struct Sweep {
    bool full = Env("SENTAVIO_SWEEP") == "full";
    std::string only = Env("SENTAVIO_SWEEP_ONLY");
    std::string exe = process::DosPath(SENTAVIO_FAULTS_EXE);
};

struct Counts {
    int recorded = 0;    // calls in the recording runs
    int unsteady = 0;    // scenarios whose second recording differed
    int judged = 0;      // failure runs
    int notReached = 0;  // failure runs whose failing call never came
};

// The machine prepared for a scenario, which each of its runs starts from
// and is judged against.
struct Baseline {
    Registry registry;
    GLOBAL_POWER_POLICY policy = {};
};

struct Planned {
    std::string function;
    int call;
    int way;  // 1-based
};

std::string Describe(const Planned& p)
{
    const faults::Function* f = faults::FindFunction(p.function.c_str());
    const faults::Way& w = f->ways[p.way - 1];
    return "call " + std::to_string(p.call) + " of " + p.function + " answers " + faults::KindName(w.kind) +
           (w.error != 0 ? ", error " + std::to_string(w.error) : "");
}

std::string Windows(const Run& run)
{
    std::string all;
    for (const user::Seen& w : run.session.windows)
        all += std::string(user::KindName(w.kind)) + (w.kind == user::Kind::ErrorBox ? " \"" + w.text + "\"" : "") +
               "; ";
    return all.empty() ? "none" : all;
}

std::string Join(const Broken& broken)
{
    std::string all;
    for (const std::string& b : broken)
        all += (all.empty() ? "" : "; ") + b;
    return all;
}

// The recording run: the product's own run, which must do what the
// scenario says and make calls for the failure runs to fail.
Run Record(const Scenario& s, const Sweep& sweep, const Baseline& before)
{
    const Run recording = RunProgram(s, "", sweep.exe);
    CAPTURE(Windows(recording));
    CHECK(Join(Judge(s, recording, before.registry, before.policy, nullptr)) == "");
    Broken judgedAbove;
    const Outcome outcome = MachineChanges(before.registry, before.policy, judgedAbove);
    CHECK(outcome.flagSet == (s.choice == Choice::Yes));
    CHECK(outcome.optimum == (s.choice == Choice::Yes));
    CHECK(outcome.autostartGone == s.choice.has_value());
    CHECK(recording.restartRequested == s.restart);
    const size_t recorded = recording.log.size();
    CHECK_MESSAGE(recorded > 0, "the recording run logged no call");
    return recording;
}

// Where a second recording departs from the first: a function called
// another number of times, or its n-th call from another site; empty when
// the two agree. The failure runs name a call by its function and number,
// so only those must repeat (calls of different functions may interleave
// otherwise, as the program's messages do).
std::string Departure(const Run& first, const Run& second)
{
    std::map<std::string, std::vector<std::string>> sites[2];
    for (const LogLine& l : first.log)
        sites[0][l.function].push_back(l.site);
    for (const LogLine& l : second.log)
        sites[1][l.function].push_back(l.site);
    for (const auto& [function, calls] : sites[1])
        sites[0].try_emplace(function);  // a function only the second run called
    for (const auto& [function, before] : sites[0]) {
        const std::vector<std::string>& after = sites[1][function];
        if (before.size() != after.size())
            return function + ": " + std::to_string(before.size()) + " calls, then " + std::to_string(after.size());
        for (size_t i = 0; i < before.size(); ++i)
            if (before[i] != after[i])
                return "call " + std::to_string(i + 1) + " of " + function + ": from " + before[i] + ", then from " +
                       after[i];
    }
    return "";
}

// The failure runs of one scenario: from its recording, and the found
// faults' rows, which run in every sweep.
std::vector<Planned> Plan(int scenario, const Run& recording, const Sweep& sweep)
{
    std::vector<Planned> plan;
    std::set<std::string> sites;
    for (const LogLine& l : recording.log) {
        const faults::Function* f = faults::FindFunction(l.function.c_str());
        if (f == nullptr || faults::FailureWays(*f) == 0 || (!sweep.only.empty() && l.function != sweep.only))
            continue;
        if (!sweep.full && !sites.insert(l.function + "@" + l.site).second)
            continue;
        for (int way = 1; way <= (sweep.full ? faults::FailureWays(*f) : 1); ++way)
            plan.push_back({ l.function, l.call, way });
    }
    for (const FoundRow& row : kFoundRows) {
        bool planned = false;
        for (const Planned& p : plan)
            planned = planned || (p.function == row.function && p.call == row.call && p.way == 1);
        if (row.scenario == scenario && !planned)
            plan.push_back({ row.function, row.call, 1 });
    }
    return plan;
}

// One failure run from the scenario's machine, judged; its failing call
// must come, or the run tests nothing.
void RunFailure(const Scenario& s, const Planned& p, const Sweep& sweep, const Baseline& before, Counts& counts)
{
    Restore(before.registry);
    const std::string fault = p.function + ":" + std::to_string(p.call) + ":" + std::to_string(p.way);
    const Run run = RunProgram(s, fault, sweep.exe);
    const faults::Function* f = faults::FindFunction(p.function.c_str());
    bool reached = false;
    for (const LogLine& l : run.log)
        reached = reached || l.failed;
    ++counts.judged;
    counts.notReached += reached ? 0 : 1;
    CAPTURE(Describe(p));
    CAPTURE(Windows(run));
    CHECK_MESSAGE(reached, "the failing call never came");
    CHECK(Join(Judge(s, run, before.registry, before.policy, &f->ways[p.way - 1])) == "");
}

void SweepScenario(int index, const Sweep& sweep, Counts& counts)
{
    const Scenario& s = kScenarios[index];
    const std::string scenario = s.name;
    CAPTURE(scenario);
    PrepareMachine(s);
    Baseline before;
    before.registry = ReadRegistry();
    REQUIRE(testbed::LoadPowerPolicy(before.policy) == ERROR_SUCCESS);

    const Run recording = Record(s, sweep, before);
    counts.recorded += static_cast<int>(recording.log.size());
    // The same calls on every run, or the failure runs would fail others
    // than the recording names.
    Restore(before.registry);
    const std::string departure = Departure(recording, RunProgram(s, "", sweep.exe));
    CHECK_MESSAGE(departure == "", "a second recording differs: " << departure);
    counts.unsteady += departure.empty() ? 0 : 1;
    for (const Planned& p : Plan(index, recording, sweep))
        RunFailure(s, p, sweep, before, counts);
    Restore(before.registry);
}

// The counts on stdout and in the summary file the test command reads.
void Summarise(const Sweep& sweep, const Counts& counts, DWORD elapsedMs)
{
    char line[300] = {};
    std::snprintf(line, sizeof(line),
                  "fault sweep (%s): %d calls recorded in %d scenarios, %s, %d failure runs judged "
                  "(%d where the failing call did not come), %lu s\n",
                  sweep.full ? "full" : "quick: each call site, its most likely failure", counts.recorded,
                  kScenarioCount,
                  counts.unsteady == 0 ? "the same calls when recorded again"
                                       : "OTHER calls when recorded again",
                  counts.judged, counts.notReached, static_cast<unsigned long>(elapsedMs / 1000));
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
    const Sweep sweep;
    Counts counts;
    const DWORD started = GetTickCount();
    for (int index = 0; index < kScenarioCount; ++index)
        SweepScenario(index, sweep, counts);
    Summarise(sweep, counts, GetTickCount() - started);
}
