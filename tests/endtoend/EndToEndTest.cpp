// The whole program: the real Sentavio.exe on the simulated Windows 2000
// machine, answered by the robot as a user would, with the registry and the
// stand-in power policy read before and after. One row per case: the
// machine before, the user's answers, the windows expected, the machine
// after. A restart that happened would end this test with the rest of the
// session, so every row that survives proves none happened (the agreed
// restart itself is proven by restart.sh).
#include <doctest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/RegistryMachine.h"
#include "tests/testbed/User.h"
#include "tests/support/Texts.h"

using testbed::RegValue;
using user::Choice;
using user::Kind;

namespace {

using texts::SystemText;
using texts::Text;

// A window as the table names it: its kind, and for boxes their text.
struct Expected {
    Kind kind;
    std::string text;
};
const Expected kPrompt = { Kind::Prompt, "" };
Expected RestartQuestion() { return { Kind::RestartQuestion, Text(IDS_ASK_RESTART) }; }
Expected ErrorBox(const std::string& text) { return { Kind::ErrorBox, text }; }

std::string Describe(const std::vector<Expected>& windows)
{
    std::string all;
    for (const Expected& w : windows)
        all += std::string(user::KindName(w.kind)) + (w.text.empty() ? "" : " \"" + w.text + "\"") + "; ";
    return all;
}

std::vector<Expected> Seen(const user::Session& session)
{
    std::vector<Expected> windows;
    for (const user::Seen& s : session.windows)
        windows.push_back({ s.kind, s.kind == Kind::Prompt ? "" : s.text });
    return windows;
}

std::string Bytes(const GLOBAL_POWER_POLICY& policy)
{
    return std::string(reinterpret_cast<const char*>(&policy), sizeof(policy));
}

constexpr const char* kAutostartCommand = "C:\\Sentavio\\Sentavio.exe";

struct Machine {
    DWORD heuristicsType = REG_BINARY;  // REG_NONE: no value
    DWORD heuristicsSize = 20;
    bool powerKey = true;
    bool autostart = true;
    bool refuseWrite = false;
};

struct Answers {
    Choice choice;
    bool tick;
    bool restart;
};

// What the run changed, each against the machine before.
struct After {
    bool flagSet;      // Heuristics byte 6 became 1 and nothing else changed
    bool optimum;      // the policy holds the optimum, every other byte as before
    bool autostart;    // Sentavio's own Run value is still there
};

struct Case {
    std::string name;
    Machine before;
    Answers answers;
    std::vector<Expected> windows;
    After after;
};

void Prepare(const Machine& m)
{
    REQUIRE(testbed::PreparePowerMachine(testbed::kCriticalAtFiveNoAction) == 0);
    REQUIRE(testbed::SetPolicyRefusals(false, m.refuseWrite) == ERROR_SUCCESS);

    REQUIRE(testbed::WriteBystanders() == 0);
    const RegValue heuristics{ m.heuristicsType != REG_NONE, m.heuristicsType,
                               testbed::ValueBytes(m.heuristicsType, m.heuristicsSize) };
    REQUIRE(testbed::WriteValue(testbed::kPowerKey, testbed::kHeuristicsValue, heuristics) == 0);
    if (!m.powerKey)
        REQUIRE(testbed::DeleteKey(testbed::kPowerKey) == 0);

    if (m.autostart)
        REQUIRE(testbed::WriteString(testbed::kRunKey, testbed::kAutostartValue, kAutostartCommand) == 0);
    else
        REQUIRE(testbed::DeleteValue(testbed::kRunKey, testbed::kAutostartValue) == 0);
}

void RunCase(const Case& c)
{
    CAPTURE(c.name);
    Prepare(c.before);
    GLOBAL_POWER_POLICY policyBefore = {};
    REQUIRE(testbed::LoadPowerPolicy(policyBefore) == ERROR_SUCCESS);
    const auto powerBefore = testbed::ReadAllValues(testbed::kPowerKey);
    const auto runBefore = testbed::ReadAllValues(testbed::kRunKey);

    user::Answers answers;
    answers.choice = c.answers.choice;
    answers.tick = c.answers.tick;
    answers.restart = c.answers.restart;
    const user::Session session = user::RunSentavio(answers);

    REQUIRE(session.started);
    CHECK(session.ended);
    CHECK(Describe(Seen(session)) == Describe(c.windows));

    // The power key: the Heuristics value edited or not, nothing else.
    auto powerExpected = powerBefore;
    if (c.after.flagSet)
        powerExpected[testbed::kHeuristicsValue] = testbed::HeuristicsWithFlag(powerBefore.at(testbed::kHeuristicsValue), 1);
    CHECK(testbed::ReadAllValues(testbed::kPowerKey) == powerExpected);
    CHECK(testbed::KeyExists(testbed::kPowerKey) == c.before.powerKey);

    // The policy: the five alarm values, every other byte as it was.
    GLOBAL_POWER_POLICY policyExpected = policyBefore;
    if (c.after.optimum)
        testbed::SetAlarms(policyExpected, testbed::kOptimumAlarms);
    GLOBAL_POWER_POLICY policyAfter = {};
    REQUIRE(testbed::LoadPowerPolicy(policyAfter) == ERROR_SUCCESS);
    CHECK(Bytes(policyAfter) == Bytes(policyExpected));

    // The Run key: only the program's own value may go.
    auto runExpected = runBefore;
    if (!c.after.autostart)
        runExpected.erase(testbed::kAutostartValue);
    CHECK(testbed::ReadAllValues(testbed::kRunKey) == runExpected);
}

}  // namespace

TEST_CASE("Sentavio.exe applies what the user answered, and nothing else")
{
    testbed::MachineScope scope;
    REQUIRE(testbed::SetProgramVersion("win2k") == ERROR_SUCCESS);
    REQUIRE(testbed::SetService(testbed::kBatteryService, testbed::kMakersDriverPath) == 0);

    const Machine usual;
    Machine noAutostart;
    noAutostart.autostart = false;
    Machine noPowerKey;
    noPowerKey.powerKey = false;
    Machine refusesPolicy;
    refusesPolicy.refuseWrite = true;

    const Case cases[] = {
        { "Cancel with the check box", usual, { Choice::Cancel, true, false }, { kPrompt },
          { false, false, true } },
        { "Cancel", usual, { Choice::Cancel, false, false }, { kPrompt }, { false, false, true } },
        { "the framework's OK with the check box", usual, { Choice::Ok, true, false }, { kPrompt },
          { false, false, false } },
        { "the framework's OK", usual, { Choice::Ok, false, false }, { kPrompt }, { false, false, true } },
        { "No with the check box", usual, { Choice::No, true, false }, { kPrompt }, { false, false, false } },
        { "No", usual, { Choice::No, false, false }, { kPrompt }, { false, false, true } },
        { "Yes, no restart, with the check box", usual, { Choice::Yes, true, false },
          { kPrompt, RestartQuestion() }, { true, true, false } },
        { "Yes, no restart", usual, { Choice::Yes, false, false }, { kPrompt, RestartQuestion() },
          { true, true, true } },
        { "Yes with the check box and the restart, autostart value already gone", noAutostart,
          { Choice::Yes, true, true },
          { kPrompt, RestartQuestion(), ErrorBox(SystemText(ERROR_FILE_NOT_FOUND)) },
          { true, true, false } },
        { "Yes, Heuristics write fails, with the check box", noPowerKey, { Choice::Yes, true, true },
          { kPrompt, ErrorBox(SystemText(ERROR_FILE_NOT_FOUND)) }, { false, false, false } },
        { "Yes, policy write fails, with the check box", refusesPolicy, { Choice::Yes, true, true },
          { kPrompt, ErrorBox(Text(IDS_REGISTRY_ERROR)) }, { true, false, false } },
    };
    for (const Case& c : cases)
        RunCase(c);
}

TEST_CASE("Sentavio.exe keeps every Heuristics byte but the flag, at any size and type")
{
    testbed::MachineScope scope;
    REQUIRE(testbed::SetProgramVersion("win2k") == ERROR_SUCCESS);
    REQUIRE(testbed::SetService(testbed::kBatteryService, testbed::kMakersDriverPath) == 0);

    for (DWORD type : { REG_BINARY, REG_SZ, REG_DWORD }) {
        for (DWORD size : { 0u, 1u, 19u, 20u, 21u, 64u, 4096u }) {
            Machine m;
            m.heuristicsType = type;
            m.heuristicsSize = size;
            RunCase({ testbed::TypeName(type) + " of " + std::to_string(size) + " bytes", m,
                      { Choice::Yes, false, false }, { kPrompt, RestartQuestion() }, { true, true, true } });
        }
    }
}
