// The real Sentavio.exe (where a call must fail, the fault build) on a
// qualifying simulated machine (Windows 2000, the maker's driver behind
// "cmbatt"), for each power state: it ends silently only
// when hibernation is allowed and the alarms are optimal. The robot reads and
// cancels whatever it shows; the registry must be as it was.
#include <doctest.h>

#include <string>

#include "res/resource.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/Qualify.h"
#include "tests/testbed/RunChanges.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/User.h"
#include "tests/support/Texts.h"

using robot::Visible;
using texts::SystemText;
using texts::Text;

using testbed::Alarms;
using testbed::PowerLibrary;
constexpr auto With = testbed::OptimumWith;

TEST_CASE("Sentavio.exe prompts exactly when hibernation or an alarm is off the optimum")
{
    testbed::MachineScope scope;

    const Alarms optimum = testbed::kOptimumAlarms;
    enum class Shows { Nothing, Prompt, ErrorBox };
    using enum Shows;
    using enum PowerLibrary;
    struct Case {
        const char* name;
        Alarms alarms;
        DWORD hibernate;
        PowerLibrary library;
        const char* fault;  // the fault build runs instead, this call failing; nullptr: none
        Shows shows;
        std::string text;  // the box's text when it is an error box
    } cases[] = {
        { "optimum, hibernation allowed", optimum, 1, StandIn, nullptr, Nothing, "" },
        { "critical alarm off", With(&Alarms::criticalEnabled, 0), 1, StandIn, nullptr, Prompt, "" },
        { "low alarm on", With(&Alarms::lowEnabled, 1), 1, StandIn, nullptr, Prompt, "" },
        { "critical level 99", With(&Alarms::criticalLevel, 99), 1, StandIn, nullptr, Prompt, "" },
        { "critical action shutdown", With(&Alarms::criticalAction, PowerActionShutdown), 1, StandIn, nullptr, Prompt, "" },
        { "event code 1", With(&Alarms::criticalEventCode, 1), 1, StandIn, nullptr, Prompt, "" },
        { "critical Enable byte 2", With(&Alarms::criticalEnabled, 2), 1, StandIn, nullptr, Prompt, "" },
        { "hibernation not allowed", optimum, 0, StandIn, nullptr, Prompt, "" },
        { "another hibernation answer", optimum, 2, StandIn, nullptr, Nothing, "" },
        { "no power library", optimum, 1, Missing, nullptr, ErrorBox, SystemText(ERROR_MOD_NOT_FOUND) },
        { "refused read", optimum, 1, StandIn, "ReadGlobalPwrPolicy:1", ErrorBox, Text(IDS_REGISTRY_ERROR) },
        // Stock Wine allows hibernation but refuses to read the policy.
        { "Wine's own library", optimum, 1, WineOwn, nullptr, ErrorBox, Text(IDS_REGISTRY_ERROR) },
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        REQUIRE(testbed::Qualify(c.alarms, c.fault != nullptr ? "sentavio-faults.exe" : testbed::kSentavioExe) == 0);
        REQUIRE(testbed::SetHibernateAnswer(c.hibernate) == ERROR_SUCCESS);
        REQUIRE(testbed::SetPowerLibrary(c.library) == 0);
        const testbed::MachineSnapshot before = testbed::TakeSnapshot();

        // The user cancels the prompt and dismisses the error boxes.
        user::RunOptions options;
        options.fault = c.fault != nullptr ? c.fault : "";
        const user::Session run = user::RunSentavio({}, options);

        CHECK(run.ended);
        if (c.shows == Shows::Nothing) {
            CHECK(run.windows.empty());
        } else {
            REQUIRE(run.windows.size() == 1);
            const robot::Window& w = run.windows[0].window;
            CHECK(w.caption == Text(IDS_TITLE));
            if (c.shows == Shows::Prompt) {
                REQUIRE(w.Find(IDC_MESSAGE) != nullptr);
                CHECK(w.Find(IDC_MESSAGE)->text == Text(IDS_NOT_OPTIMAL));
            } else {
                CHECK(Visible(w.StaticText()) == c.text);
            }
        }
        const testbed::Changes changes = testbed::ChangesSince(before);
        CHECK_FALSE((changes.flagSet || changes.optimum || changes.autostartGone));
        CHECK(changes.others == "");
    }
}
