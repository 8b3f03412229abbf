#include "FaultRuns.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "res/resource.h"
#include "tests/support/Texts.h"
#include "tests/testbed/Keys.h"

namespace sweep {

namespace {

// Far above any run's own time (well under a second on Wine): a run that
// takes longer waits for something that will not come.
constexpr DWORD kRunBoundMs = 15000;
// An answered window still up after this is answered again, as a user
// whose click did nothing would click again.
constexpr DWORD kAnswerAgainMs = 2000;

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

// No registry write names a value but Heuristics, no removal one but the
// autostart value.
void JudgeWrites(const Run& run, Broken& broken)
{
    for (const LogLine& l : run.log) {
        if (!l.failed && l.function == "RegSetValueExA" && l.detail != testbed::kHeuristicsValue)
            broken.push_back("wrote the value \"" + l.detail + "\"");
        if (!l.failed && l.function == "RegDeleteValueA" && l.detail != testbed::kAutostartValue)
            broken.push_back("deleted the value \"" + l.detail + "\"");
    }
}

// No restart follows a failed Heuristics write, policy write or autostart
// removal.
void JudgeRestart(const Run& run, const testbed::Changes& outcome, Broken& broken)
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
    static const std::set<std::string> always = { "GetSystemDirectoryA", "ReadGlobalPwrPolicy", "WriteGlobalPwrPolicy",
                                                  "RegOpenKeyExA", "RegQueryValueExA", "RegSetValueExA",
                                                  "RegDeleteValueA", "calloc", "ExitWindowsEx" };
    return always.count(f) != 0;
}

// Every reported failure is one box under the program's title, a failure the
// program must report is not passed over (way: the failure this run made; none
// for a recording run), and the prompt comes only where the machine needs it.
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

// Faults the sweep found, kept as rows that run in every sweep: the
// scenario, the failing call, and what the program did before it was mended.
struct FoundRow {
    int scenario;  // index into the sweep's scenarios
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

}  // namespace

Run RunProgram(const Scenario& s, const std::string& fault, const std::string& exe)
{
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string logPath = std::string(dir) + "sentavio-faults.log";
    DeleteFileA(logPath.c_str());
    // The program inherits them.
    SetEnvironmentVariableA("SENTAVIO_FAULT_LOG", logPath.c_str());
    SetEnvironmentVariableA("SENTAVIO_FAULT", fault.empty() ? nullptr : fault.c_str());

    user::RunOptions options;
    options.commandLine = "\"" + exe + "\"";
    options.timeoutMs = kRunBoundMs;
    options.answerAgainMs = kAnswerAgainMs;
    // The scenario's user ticks the box and gives its answers (a prompt
    // that should not come is cancelled).
    user::Answers answers;
    answers.choice = s.choice.value_or(user::Choice::Cancel);
    answers.tick = true;
    answers.restart = s.restart;
    Run run;
    run.session = user::RunSentavio(answers, options);
    ReadLog(logPath, run);
    return run;
}

// The stand-ins' own lines (a request they could not read, a function the
// table lacks) break the sweep itself.
Verdict Judge(const Scenario& s, const Run& run, const testbed::MachineSnapshot& before, const faults::Way* way)
{
    Verdict verdict;
    Broken broken;
    if (JudgeEnd(run, broken)) {
        for (const std::string& note : run.logNotes)
            broken.push_back("stand-ins say: " + note);
        JudgeWrites(run, broken);
        verdict.changes = testbed::ChangesSince(before);
        if (!verdict.changes.others.empty())
            broken.push_back(verdict.changes.others);
        JudgeRestart(run, verdict.changes, broken);
        JudgeBoxes(s, run, way, broken);
    }
    for (const std::string& b : broken)
        verdict.broken += (verdict.broken.empty() ? "" : "; ") + b;
    return verdict;
}

std::string Describe(const Planned& p)
{
    const faults::Function* f = faults::FindFunction(p.function.c_str());
    const faults::Way& w = f->ways[p.way - 1];
    return "call " + std::to_string(p.call) + " of " + p.function + " answers " + faults::KindName(w.kind) +
           (w.error != 0 ? ", error " + std::to_string(w.error) : "");
}

// A function called from other sites, or in another order. The failure
// runs name a call by its function and number, so those must repeat (calls
// of different functions may interleave, as the program's messages do).
// Calls from one site in a row count once: how many messages a window gets,
// and so how often its handler runs, depends on timing (on a loaded machine
// Wine sent the dialog two fewer), and the runs of the quick sweep name the
// first call from each site.
std::string Departure(const Run& first, const Run& second)
{
    std::map<std::string, std::vector<std::string>> sites[2];
    for (int run = 0; run < 2; ++run)
        for (const LogLine& l : (run == 0 ? first : second).log) {
            std::vector<std::string>& calls = sites[run][l.function];
            if (calls.empty() || calls.back() != l.site)
                calls.push_back(l.site);
        }
    for (const auto& [function, calls] : sites[1])
        sites[0].try_emplace(function);  // a function only the second run called
    for (const auto& [function, before] : sites[0]) {
        const std::vector<std::string>& after = sites[1][function];
        if (before.size() != after.size())
            return function + ": calls from " + std::to_string(before.size()) + " sites in turn, then " +
                   std::to_string(after.size());
        for (size_t i = 0; i < before.size(); ++i)
            if (before[i] != after[i])
                return "site " + std::to_string(i + 1) + " of " + function + ": " + before[i] + ", then " + after[i];
    }
    return "";
}

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

}  // namespace sweep
