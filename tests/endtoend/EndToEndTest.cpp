// The whole program: the real Sentavio.exe (where a call must fail, the fault
// build) on the simulated Windows 2000 machine, answered by the robot as a
// user would, the test bed judging what the run changed. One row per case: the machine before, the user's answers,
// the windows expected, the machine after. A restart would end this test
// with the session, so every row that survives proves none happened
// (restart.sh proves the agreed one).
#include <doctest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/Qualify.h"
#include "tests/testbed/RunChanges.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/RegistryMachine.h"
#include "tests/testbed/User.h"
#include "tests/support/Texts.h"

using testbed::RegValue;
using user::Choice, user::Kind;

namespace {

using texts::SystemText, texts::Text;

// A window as the table names it: its kind, and for boxes their text.
const user::Seen kPrompt = { Kind::Prompt, {}, "" };
user::Seen RestartQuestion() { return { Kind::RestartQuestion, {}, Text(IDS_ASK_RESTART) }; }
user::Seen ErrorBox(const std::string& text) { return { Kind::ErrorBox, {}, text }; }

struct Machine {
    DWORD heuristicsType = REG_BINARY;  // REG_NONE: no value
    DWORD heuristicsSize = 20;
    bool powerKey = true;
    bool autostart = true;
    const char* fault = "";  // "Name:n": the fault build runs instead, that call failing
};

// What the run changed, as the machine's judge tells it; nothing else may.
struct After {
    bool flagSet;        // Heuristics byte 6 became 1
    bool optimum;        // the policy holds the optimum
    bool autostartGone;  // Sentavio's own Run value was deleted
};

struct Case {
    std::string name;
    Machine before;
    user::Answers answers;  // the choice, the tick, the restart
    std::vector<user::Seen> windows;
    After after;
};

void Prepare(const Machine& m)
{
    REQUIRE(testbed::Qualify(testbed::kCriticalAtFiveNoAction, *m.fault ? "sentavio-faults.exe" : testbed::kSentavioExe) == 0);
    const RegValue heuristics{ m.heuristicsType != REG_NONE, m.heuristicsType,
                               testbed::ValueBytes(m.heuristicsType, m.heuristicsSize) };
    REQUIRE(testbed::WriteValue(testbed::kPowerKey, testbed::kHeuristicsValue, heuristics) == 0);
    if (!m.powerKey)
        REQUIRE(testbed::DeleteKey(testbed::kPowerKey) == 0);
    if (!m.autostart)
        REQUIRE(testbed::DeleteValue(testbed::kRunKey, testbed::kAutostartValue) == 0);
}

void RunCase(const Case& c)
{
    CAPTURE(c.name);
    Prepare(c.before);
    const testbed::MachineSnapshot before = testbed::TakeSnapshot();

    user::RunOptions options;
    options.fault = c.before.fault;
    const user::Session session = user::RunSentavio(c.answers, options);

    REQUIRE(session.started);
    CHECK(session.ended);
    CHECK(user::Describe(session.windows) == user::Describe(c.windows));
    const testbed::Changes changes = testbed::ChangesSince(before);
    CHECK(changes.flagSet == c.after.flagSet);
    CHECK(changes.optimum == c.after.optimum);
    CHECK(changes.autostartGone == c.after.autostartGone);
    CHECK(changes.others == "");
}

}  // namespace

TEST_CASE("Sentavio.exe applies what the user answered, and nothing else")
{
    testbed::MachineScope scope;

    const Machine usual;
    const Machine noAutostart{ .autostart = false };
    const Machine noPowerKey{ .powerKey = false };
    const Machine refusesPolicy{ .fault = "WriteGlobalPwrPolicy:1" };

    using enum Choice;
    const user::Seen fileNotFound = ErrorBox(SystemText(ERROR_FILE_NOT_FOUND));
    const Case cases[] = {
        { "Cancel with the check box", usual, { Cancel, true, false }, { kPrompt }, { false, false, false } },
        { "Cancel", usual, { Cancel, false, false }, { kPrompt }, { false, false, false } },
        { "the framework's OK with the check box", usual, { Ok, true, false }, { kPrompt }, { false, false, true } },
        { "the framework's OK", usual, { Ok, false, false }, { kPrompt }, { false, false, false } },
        { "No with the check box", usual, { No, true, false }, { kPrompt }, { false, false, true } },
        { "No", usual, { No, false, false }, { kPrompt }, { false, false, false } },
        { "Yes, no restart, with the check box", usual, { Yes, true, false }, { kPrompt, RestartQuestion() },
          { true, true, true } },
        { "Yes, no restart", usual, { Yes, false, false }, { kPrompt, RestartQuestion() }, { true, true, false } },
        { "Yes with the check box and the restart, autostart value already gone", noAutostart, { Yes, true, true },
          { kPrompt, RestartQuestion(), fileNotFound }, { true, true, false } },
        { "Yes, Heuristics write fails, with the check box", noPowerKey, { Yes, true, true },
          { kPrompt, fileNotFound }, { false, false, true } },
        { "Yes, policy write fails, with the check box", refusesPolicy, { Yes, true, true },
          { kPrompt, ErrorBox(Text(IDS_REGISTRY_ERROR)) }, { true, false, true } },
    };
    for (const Case& c : cases)
        RunCase(c);
}

TEST_CASE("Sentavio.exe keeps every Heuristics byte but the flag, at any size and type")
{
    testbed::MachineScope scope;

    for (DWORD type : { REG_BINARY, REG_SZ, REG_DWORD })
        for (DWORD size : { 0u, 1u, 19u, 20u, 21u, 64u, 4096u })
            RunCase({ testbed::TypeName(type) + " of " + std::to_string(size) + " bytes",
                      Machine{ .heuristicsType = type, .heuristicsSize = size }, { Choice::Yes, false, false },
                      { kPrompt, RestartQuestion() }, { true, true, false } });
}
