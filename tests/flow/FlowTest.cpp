// The check flow as a decision table: each row is a machine, what the user
// answers, and the program's calls that show its decisions, in order. The
// machine is the test bed's; what Wine cannot be (Windows 98, a refused
// registry write, a restart that must not end the test) comes from the
// stand-ins of the fault table. The prompt dialog, the restart question and
// the error boxes are the real ones, answered by the robot.
#include <doctest.h>

#include "app/PowerCheckApp.h"
#include "res/resource.h"
#include "tests/faults/FaultStandIns.h"
#include "tests/support/Texts.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/Qualify.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/RegistryMachine.h"
#include "tests/testbed/Robot.h"

#include <algorithm>
#include <list>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum class User {
    Yes, No, Cancel, CloseBox, Escape,
    EnterOnCheckBox,  // the framework's own OK command
    EnterAtOnce,      // Enter on whatever has the focus when the prompt opens
};

struct Machine {
    DWORD platform = VER_PLATFORM_WIN32_NT;  // what GetVersionExA answers
    DWORD major = 5;
    const char* driverPath = testbed::kMakersDriverPath;
    DWORD hibernate = 1;  // what the power library answers
    testbed::Alarms alarms = testbed::kCriticalAtFiveNoAction;
    const char* refused = "";  // its first call fails the fault table's way with this error
    DWORD error = ERROR_ACCESS_DENIED;
    bool noDialogs = false;  // the window manager refuses to create dialogs, as when out of resources
};

struct Row {
    const char* name;
    Machine machine;
    std::string effects;
    User user = User::Cancel;
    bool tick = false;        // the user ticks "Don't display this message again."
    bool restartYes = false;  // the answer to the restart question, if it comes
};

// Each word of a row's effects: the calls it stands for, and what the user
// sees of it.
enum class Shown { Nothing, Prompt, Question, ErrorBox };
struct Effect {
    const char* word;
    const char* calls;
    Shown shown;
};
const Effect kEffects[] = {
    { "admin", "GetTokenInformation", Shown::Nothing },
    { "driver", "OpenServiceA", Shown::Nothing },
    { "hibernate", "IsPwrHibernateAllowed", Shown::Nothing },
    { "read", "ReadGlobalPwrPolicy", Shown::Nothing },
    { "prompt", "DialogBoxParamA", Shown::Prompt },
    { "no-dialog", "DialogBoxParamA", Shown::Nothing },
    { "heuristics", "RegSetValueExA", Shown::Nothing },
    { "write", "ReadGlobalPwrPolicy WriteGlobalPwrPolicy", Shown::Nothing },
    { "ask-restart", "MessageBoxA", Shown::Question },
    { "error", "MessageBoxA", Shown::ErrorBox },
    { "remove", "RegDeleteValueA", Shown::Nothing },
    { "restart", "ExitWindowsEx", Shown::Nothing },
};

const Effect& EffectOf(const std::string& word)
{
    for (const Effect& e : kEffects)
        if (word == e.word)
            return e;
    FAIL("no such effect: " << word);
    return kEffects[0];
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

template <typename F>
Machine With(F change)
{
    Machine m;
    change(m);
    return m;
}

const Machine kMachine;  // qualifies; critical alarm off at 5 % with no action, low alarm on
const std::string Q = "admin driver hibernate read";
const std::string APPLY = " prompt heuristics write ask-restart";

using testbed::Alarms;
constexpr Alarms kOptimum = testbed::kOptimumAlarms;
// A machine whose alarms are the optimum with one value changed.
Machine OffOptimum(DWORD Alarms::*field, DWORD value)
{
    return With([&](auto& m) { m.alarms = testbed::OptimumWith(field, value); });
}

const Row kRows[] = {
    // Machines that do not qualify, or need nothing: silent ends.
    { "Windows NT 4.0", With([](auto& m) { m.major = 4; }), "" },
    { "Windows 98", With([](auto& m) { m.platform = VER_PLATFORM_WIN32_WINDOWS; m.major = 4; }), "" },
    { "Windows 7", With([](auto& m) { m.major = 6; }), "" },
    { "Win32s reporting 5", With([](auto& m) { m.platform = VER_PLATFORM_WIN32s; }), "" },
    { "token groups refused: not an administrator", With([](auto& m) { m.refused = "GetTokenInformation"; }), "admin" },
    { "stock battery driver", With([](auto& m) { m.driverPath = testbed::kStockDriverPath; }), "admin driver" },
    { "hibernation answer neither 0 nor 1", With([](auto& m) { m.hibernate = 2; }), "admin driver hibernate" },
    { "policy cannot be read", With([](auto& m) { m.refused = "ReadGlobalPwrPolicy"; }), Q + " error" },
    { "already optimal", With([](auto& m) { m.alarms = kOptimum; }), Q },

    // Anything off the optimum prompts.
    { "hibernation not allowed, values optimal", With([](auto& m) { m.hibernate = 0; m.alarms = kOptimum; }),
      "admin driver hibernate prompt" },
    { "critical alarm off", OffOptimum(&Alarms::criticalEnabled, 0), Q + " prompt" },
    { "critical Enable byte 2", OffOptimum(&Alarms::criticalEnabled, 2), Q + " prompt" },
    { "low alarm on", OffOptimum(&Alarms::lowEnabled, 1), Q + " prompt" },
    { "level 99", OffOptimum(&Alarms::criticalLevel, 99), Q + " prompt" },
    { "action sleep", OffOptimum(&Alarms::criticalAction, PowerActionSleep), Q + " prompt" },
    { "only the event code differs", OffOptimum(&Alarms::criticalEventCode, 1), Q + " prompt" },

    // Ways out of the prompt that apply nothing.
    { "Cancel with the box ticked", kMachine, Q + " prompt", User::Cancel, true, true },
    { "close box with the box ticked", kMachine, Q + " prompt", User::CloseBox, true, true },
    { "Escape with the box ticked", kMachine, Q + " prompt", User::Escape, true, true },
    { "dialog cannot be created", With([](auto& m) { m.noDialogs = true; }), Q + " no-dialog", User::Yes, true, true },
    { "framework OK with the box ticked", kMachine, Q + " prompt remove", User::EnterOnCheckBox, true, true },
    { "framework OK, box clear", kMachine, Q + " prompt", User::EnterOnCheckBox, false, true },
    { "No with the box ticked", kMachine, Q + " prompt remove", User::No, true, true },
    { "No, box clear", kMachine, Q + " prompt", User::No, false, true },
    { "Enter at once presses No", kMachine, Q + " prompt", User::EnterAtOnce, false, true },

    // Yes applies, in a fixed order.
    { "Yes, restart declined", kMachine, Q + APPLY, User::Yes },
    { "Yes with the box ticked, restart declined", kMachine, Q + APPLY + " remove", User::Yes, true },
    { "Yes, restart agreed", kMachine, Q + APPLY + " restart", User::Yes, false, true },
    { "Yes with the box ticked, restart agreed", kMachine, Q + APPLY + " remove restart", User::Yes, true, true },
    { "autostart value cannot be removed: no restart", With([](auto& m) { m.refused = "RegDeleteValueA"; }),
      Q + APPLY + " remove error", User::Yes, true, true },
    { "Heuristics write fails: no policy, no question", With([](auto& m) { m.refused = "RegSetValueExA"; }),
      Q + " prompt heuristics error remove", User::Yes, true, true },
    { "Heuristics write fails, box clear", With([](auto& m) { m.refused = "RegSetValueExA"; }),
      Q + " prompt heuristics error", User::Yes, false, true },
    { "policy write fails: no question", With([](auto& m) { m.refused = "WriteGlobalPwrPolicy"; }),
      Q + " prompt heuristics write error remove", User::Yes, true, true },
};

// Any window of the row: the prompt, the restart question (the one box with
// Yes) or an error box.
void Answer(HWND window, const Row& row)
{
    if (GetDlgItem(window, IDC_DONT_SHOW_AGAIN) == nullptr) {
        robot::Click(window, GetDlgItem(window, IDYES) == nullptr ? IDOK : (row.restartYes ? IDYES : IDNO));
        return;
    }
    if (row.tick)
        robot::SetCheck(window, IDC_DONT_SHOW_AGAIN, true);
    switch (row.user) {
    case User::Yes: robot::Click(window, IDYES); break;
    case User::No: robot::Click(window, IDNO); break;
    case User::Cancel: robot::Click(window, IDCANCEL); break;
    case User::CloseBox: robot::CloseBox(window); break;
    case User::Escape: robot::PressKey(robot::Focus(window), VK_ESCAPE); break;
    case User::EnterOnCheckBox:
        robot::FocusControl(window, IDC_DONT_SHOW_AGAIN);
        robot::PressKey(robot::Focus(window), VK_RETURN);
        break;
    case User::EnterAtOnce: robot::PressKey(robot::Focus(window), VK_RETURN); break;
    }
}

// Makes every dialog this thread tries to create fail.
LRESULT CALLBACK RefuseDialogs(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
    if (code == HCBT_CREATEWND && create->lpcs->lpszClass == MAKEINTRESOURCEA(32770))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

Machine g_machine;

BOOL WINAPI AnswerVersion(OSVERSIONINFOA* info)
{
    info->dwPlatformId = g_machine.platform;
    info->dwMajorVersion = g_machine.major;
    return TRUE;
}

}  // namespace

TEST_CASE("The check flow decides, prompts and applies in a fixed order")
{
    const testbed::MachineScope scope;
    std::vector<std::string> held;  // every function an effect stands for
    for (const Effect& e : kEffects)
        for (const std::string& call : Words(e.calls))
            if (std::find(held.begin(), held.end(), call) == held.end())
                held.push_back(call);
    const testbed::RegValue heuristics = { true, REG_BINARY, testbed::Pattern(20) };
    for (const Row& row : kRows) {
        CAPTURE(std::string(row.name));
        g_machine = row.machine;
        REQUIRE(testbed::Qualify(row.machine.alarms) == ERROR_SUCCESS);
        if (row.machine.driverPath != testbed::kMakersDriverPath)
            REQUIRE(testbed::SetService(testbed::kBatteryService, row.machine.driverPath) == ERROR_SUCCESS);
        REQUIRE(testbed::SetHibernateAnswer(row.machine.hibernate) == ERROR_SUCCESS);
        std::string expected = "GetVersionExA";
        std::vector<Shown> shown;
        for (const std::string& word : Words(row.effects)) {
            expected += std::string(" ") + EffectOf(word).calls;
            if (EffectOf(word).shown != Shown::Nothing)
                shown.push_back(EffectOf(word).shown);
        }

        std::list<faults::CFault> faults;
        faults.emplace_back("GetVersionExA", &AnswerVersion);
        for (const std::string& name : held)
            faults.emplace_back(name.c_str(), name == row.machine.refused ? 1 : 0, row.machine.error);
        faults::TakeJournal();
        HHOOK hook = row.machine.noDialogs ? SetWindowsHookExA(WH_CBT, RefuseDialogs, nullptr, GetCurrentThreadId())
                                           : nullptr;
        BOOL result = TRUE;
        const auto answer = [&](HWND window) { Answer(window, row); };
        const auto windows = robot::RunAndAnswer([&] { result = CPowerCheckApp().InitInstance(); },
                                                 { answer, answer, answer });
        if (hook != nullptr)
            UnhookWindowsHookEx(hook);
        const std::string restartFlags = faults.back().Asked();  // ExitWindowsEx's, the last effect's
        faults.clear();

        CHECK(result == FALSE);
        CHECK(faults::TakeJournal() == expected);
        const bool restarted = row.effects.find(" restart") != std::string::npos;
        CHECK(restartFlags == (restarted ? "0x6" : ""));
        // What the writes left: the flag set only by a write that went through, the optimum only after it.
        const bool heuristicsSet = row.effects.find("heuristics write") != std::string::npos;
        CHECK(testbed::ReadValue(testbed::kPowerKey, testbed::kHeuristicsValue) ==
              (heuristicsSet ? testbed::HeuristicsWithFlag(heuristics, 1) : heuristics));
        const bool written = heuristicsSet && row.effects.find("write error") == std::string::npos;
        GLOBAL_POWER_POLICY policy = {};
        REQUIRE(testbed::LoadPowerPolicy(policy) == ERROR_SUCCESS);
        CHECK(testbed::Words(testbed::AlarmsOf(policy), " ") ==
              testbed::Words(written ? kOptimum : row.machine.alarms, " "));

        // What the user saw: the prompt, the restart question and error boxes, in order.
        REQUIRE(windows.size() == shown.size());
        for (size_t i = 0; i < shown.size(); ++i) {
            const robot::Window& w = windows[i];
            CHECK(w.caption == texts::Text(IDS_TITLE));
            if (shown[i] == Shown::Prompt) {
                REQUIRE(w.Find(IDC_MESSAGE) != nullptr);
                CHECK(w.Find(IDC_MESSAGE)->text == texts::Text(IDS_NOT_OPTIMAL));
                CHECK(w.Find(IDC_QUESTION)->text == texts::Text(IDS_ASK_OPTIMUM));
            } else if (shown[i] == Shown::Question) {
                CHECK(w.StaticText() == texts::Text(IDS_ASK_RESTART));
                CHECK(w.icon == LoadIconA(nullptr, IDI_QUESTION));
                CHECK(w.Buttons() == std::vector<int>{ IDYES, IDNO });
                CHECK(w.owner == nullptr);
            } else {
                CHECK(w.Buttons() == std::vector<int>{ IDOK });
            }
        }
    }
}
