// The check flow as a decision table: each row is a machine, what the user
// answers, and the effects expected in order. The system operations are
// recording fakes (FakeSystem.h says why); the prompt dialog and the restart
// question are the real ones, answered by the robot.
#include <doctest.h>

#include "FakeSystem.h"
#include "app/PowerCheckApp.h"
#include "res/resource.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/Robot.h"
#include "tests/support/Texts.h"

namespace {

enum class User {
    Yes, No, Cancel, CloseBox, Escape,
    EnterOnCheckBox,  // the framework's own OK command
    EnterAtOnce,      // Enter on whatever has the focus when the prompt opens
};

struct Row {
    const char* name;
    fake::Machine machine;
    User user;
    bool tick;          // the user ticks "Don't display this message again."
    bool restartYes;    // the answer to the restart question, if it comes
    bool refuseDialog;  // the dialog cannot be created
    std::string effects;
};

template <typename F>
fake::Machine With(F change)
{
    fake::Machine m;
    change(m);
    return m;
}

const fake::Machine kMachine;  // qualifies; critical alarm off at 5 % with no action, low alarm on
const std::string Q = "admin driver(cmbatt,DIVURUVA.dor) hibernate read";
const std::string WRITE = " prompt heuristics(TRUE) write(" + testbed::Words(testbed::kOptimumAlarms, ",") + ")";
const std::string APPLY = WRITE + " ask-restart";

using testbed::Alarms;
// The optimum, or it with one value changed, as the program reads it.
DischargeSettings Optimum(DWORD Alarms::*field = nullptr, DWORD value = 0)
{
    return testbed::Settings(field != nullptr ? testbed::OptimumWith(field, value) : testbed::kOptimumAlarms);
}

const Row kRows[] = {
    // Machines that do not qualify, or need nothing: silent ends.
    { "Windows NT 4.0", With([](auto& m) { m.major = 4; }), User::Cancel, false, false, false, "" },
    { "Windows 98", With([](auto& m) { m.platform = VER_PLATFORM_WIN32_WINDOWS; m.major = 4; }),
      User::Cancel, false, false, false, "" },
    { "Windows 7", With([](auto& m) { m.major = 6; }), User::Cancel, false, false, false, "" },
    { "Win32s reporting 5", With([](auto& m) { m.platform = VER_PLATFORM_WIN32s; }), User::Cancel,
      false, false, false, "" },
    { "not an administrator", With([](auto& m) { m.admin = FALSE; }), User::Cancel, false, false,
      false, "admin" },
    { "stock battery driver", With([](auto& m) { m.driver = FALSE; }), User::Cancel, false, false,
      false, "admin driver(cmbatt,DIVURUVA.dor)" },
    { "hibernation answer failed", With([](auto& m) { m.hibernate = HibernateState::Failed; }),
      User::Cancel, false, false, false, "admin driver(cmbatt,DIVURUVA.dor) hibernate" },
    { "policy cannot be read", With([](auto& m) { m.readOk = FALSE; }), User::Cancel, false, false,
      false, Q },
    { "already optimal", With([](auto& m) { m.settings = Optimum(); }), User::Cancel, false,
      false, false, Q },

    // Anything off the optimum prompts.
    { "hibernation not allowed, values optimal",
      With([](auto& m) { m.hibernate = HibernateState::NotAllowed; m.settings = Optimum(); }),
      User::Cancel, false, false, false, "admin driver(cmbatt,DIVURUVA.dor) hibernate prompt" },
    { "critical alarm off", With([](auto& m) { m.settings = Optimum(&Alarms::criticalEnabled, 0); }), User::Cancel,
      false, false, false, Q + " prompt" },
    { "critical Enable byte 2", With([](auto& m) { m.settings = Optimum(&Alarms::criticalEnabled, 2); }), User::Cancel,
      false, false, false, Q + " prompt" },
    { "low alarm on", With([](auto& m) { m.settings = Optimum(&Alarms::lowEnabled, 1); }), User::Cancel, false,
      false, false, Q + " prompt" },
    { "level 99", With([](auto& m) { m.settings = Optimum(&Alarms::criticalLevel, 99); }), User::Cancel, false, false,
      false, Q + " prompt" },
    { "action sleep", With([](auto& m) { m.settings = Optimum(&Alarms::criticalAction, PowerActionSleep); }), User::Cancel, false,
      false, false, Q + " prompt" },
    { "only the event code differs", With([](auto& m) { m.settings = Optimum(&Alarms::criticalEventCode, 1); }),
      User::Cancel, false, false, false, Q + " prompt" },

    // Ways out of the prompt that apply nothing.
    { "Cancel with the box ticked", kMachine, User::Cancel, true, true, false, Q + " prompt" },
    { "close box with the box ticked", kMachine, User::CloseBox, true, true, false, Q + " prompt" },
    { "Escape with the box ticked", kMachine, User::Escape, true, true, false, Q + " prompt" },
    { "dialog cannot be created", kMachine, User::Yes, true, true, true, Q },
    { "framework OK with the box ticked", kMachine, User::EnterOnCheckBox, true, true, false,
      Q + " prompt remove" },
    { "framework OK, box clear", kMachine, User::EnterOnCheckBox, false, true, false, Q + " prompt" },
    { "No with the box ticked", kMachine, User::No, true, true, false, Q + " prompt remove" },
    { "No, box clear", kMachine, User::No, false, true, false, Q + " prompt" },
    { "Enter at once presses No", kMachine, User::EnterAtOnce, false, true, false, Q + " prompt" },

    // Yes applies, in a fixed order.
    { "Yes, restart declined", kMachine, User::Yes, false, false, false, Q + APPLY },
    { "Yes with the box ticked, restart declined", kMachine, User::Yes, true, false, false,
      Q + APPLY + " remove" },
    { "Yes, restart agreed", kMachine, User::Yes, false, true, false, Q + APPLY + " restart(6)" },
    { "Yes with the box ticked, restart agreed", kMachine, User::Yes, true, true, false,
      Q + APPLY + " remove restart(6)" },
    { "autostart value cannot be removed: no restart", With([](auto& m) { m.removeOk = FALSE; }),
      User::Yes, true, true, false, Q + APPLY + " remove" },
    { "Heuristics write fails: no policy, no question", With([](auto& m) { m.heuristicsOk = FALSE; }),
      User::Yes, true, true, false, Q + " prompt heuristics(TRUE) remove" },
    { "Heuristics write fails, box clear", With([](auto& m) { m.heuristicsOk = FALSE; }), User::Yes,
      false, true, false, Q + " prompt heuristics(TRUE)" },
    { "policy write fails: no question", With([](auto& m) { m.writeOk = FALSE; }), User::Yes, true,
      true, false, Q + WRITE + " remove" },
};

void AnswerPrompt(HWND dlg, const Row& row)
{
    fake::Record("prompt");
    if (row.tick)
        robot::SetCheck(dlg, IDC_DONT_SHOW_AGAIN, true);
    switch (row.user) {
    case User::Yes: robot::Click(dlg, IDYES); break;
    case User::No: robot::Click(dlg, IDNO); break;
    case User::Cancel: robot::Click(dlg, IDCANCEL); break;
    case User::CloseBox: robot::CloseBox(dlg); break;
    case User::Escape: robot::PressKey(robot::Focus(dlg), VK_ESCAPE); break;
    case User::EnterOnCheckBox:
        robot::FocusControl(dlg, IDC_DONT_SHOW_AGAIN);
        robot::PressKey(robot::Focus(dlg), VK_RETURN);
        break;
    case User::EnterAtOnce: robot::PressKey(robot::Focus(dlg), VK_RETURN); break;
    }
}

// Makes every dialog this thread tries to create fail, as when the system
// runs out of window resources.
LRESULT CALLBACK RefuseDialogs(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        if (create->lpcs->lpszClass == MAKEINTRESOURCEA(32770))
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST_CASE("The check flow decides, prompts and applies in a fixed order")
{
    for (const Row& row : kRows) {
        CAPTURE(std::string(row.name));
        fake::Reset(row.machine);
        HHOOK hook = row.refuseDialog
                         ? SetWindowsHookExA(WH_CBT, RefuseDialogs, nullptr, GetCurrentThreadId())
                         : nullptr;

        CPowerCheckApp app;
        BOOL result = TRUE;
        auto windows = robot::RunAndAnswer(
            [&] { result = app.InitInstance(); },
            {
                [&](HWND dlg) { AnswerPrompt(dlg, row); },
                [&](HWND box) {
                    fake::Record("ask-restart");
                    robot::Click(box, row.restartYes ? IDYES : IDNO);
                },
            },
            3000);
        if (hook != nullptr)
            UnhookWindowsHookEx(hook);

        CHECK(result == FALSE);
        CHECK(fake::Log() == row.effects);

        // What the user saw: the prompt, then the restart question.
        const bool prompted = row.effects.find("prompt") != std::string::npos;
        const bool asked = row.effects.find("ask-restart") != std::string::npos;
        REQUIRE(windows.size() == size_t(prompted) + size_t(asked));
        if (prompted) {
            const robot::Window& dlg = windows[0];
            CHECK(dlg.caption == texts::Text(IDS_TITLE));
            REQUIRE(dlg.Find(IDC_MESSAGE) != nullptr);
            CHECK(dlg.Find(IDC_MESSAGE)->text == texts::Text(IDS_NOT_OPTIMAL));
            CHECK(dlg.Find(IDC_QUESTION)->text == texts::Text(IDS_ASK_OPTIMUM));
        }
        if (asked) {
            const robot::Window& box = windows[1];
            CHECK(box.caption == texts::Text(IDS_TITLE));
            CHECK(box.StaticText() == texts::Text(IDS_ASK_RESTART));
            CHECK(box.icon == LoadIconA(nullptr, IDI_QUESTION));
            CHECK(box.Buttons() == std::vector<int>{ IDYES, IDNO });
            CHECK(box.owner == nullptr);
        }
    }
}
