// The real Sentavio.exe on a qualifying simulated machine (Windows 2000,
// the maker's driver behind "cmbatt"), for each power state: it ends
// silently only when hibernation is allowed and the alarms are optimal.
// The robot reads whatever it shows and cancels it; the registry must be
// as it was.
#include <doctest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "testbed/Holders.h"
#include "testbed/Machine.h"
#include "testbed/PowerMachine.h"
#include "tests/support/Process.h"
#include "tests/support/Robot.h"
#include "tests/support/Texts.h"

using texts::SystemText;
using texts::Visible;

using testbed::Alarms;
using testbed::PowerLibrary;

namespace {

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kPowerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Power";

std::string Text(int id)
{
    return texts::Ansi(texts::English[id]);
}

// A value's type and bytes, or "absent".
std::string ValueOf(const char* key, const char* name)
{
    testbed::UniqueKey hkey;
    DWORD type = 0;
    DWORD size = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, hkey.put()) != ERROR_SUCCESS ||
        RegQueryValueExA(hkey.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return "absent";
    std::string bytes(size, '\0');
    RegQueryValueExA(hkey.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    return std::to_string(type) + ":" + bytes;
}

// What the program could change: the policy, the Heuristics value, its
// own autostart value.
std::vector<std::string> Snapshot()
{
    GLOBAL_POWER_POLICY policy = {};
    std::string stored = "absent";
    if (testbed::LoadPowerPolicy(policy) == ERROR_SUCCESS)
        stored.assign(reinterpret_cast<const char*>(&policy), sizeof(policy));
    return { stored, ValueOf(kPowerKey, "Heuristics"), ValueOf(kRunKey, "Sentavio") };
}

// Runs Sentavio.exe; the robot reads each window it shows and cancels it
// (the error boxes have only OK).
std::vector<robot::Window> RunSentavio(bool& ended)
{
    std::vector<robot::Window> windows;
    process::Child child;
    ended = false;
    if (!child.Start(process::SentavioExe()))
        return windows;
    const DWORD start = GetTickCount();
    while (!ended && GetTickCount() - start < 15000) {
        if (HWND window = robot::WaitForWindow(child.Id(), 50)) {
            windows.push_back(robot::Read(window));
            robot::Click(window, windows.back().Find(IDCANCEL) != nullptr ? IDCANCEL : IDOK);
            robot::WaitUntilGone(window, 5000);
        }
        ended = child.Wait(0);
    }
    return windows;
}

enum class Shows { Nothing, Prompt, ErrorBox };

}  // namespace

TEST_CASE("Sentavio.exe prompts exactly when hibernation or an alarm is off the optimum")
{
    REQUIRE(testbed::SetProgramVersion("win2k") == ERROR_SUCCESS);
    REQUIRE(testbed::SetService(testbed::kBatteryService, testbed::kMakersDriverPath) == 0);
    const char autostart[] = "C:\\Sentavio\\Sentavio.exe";
    testbed::UniqueKey run;
    REQUIRE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, run.put(),
                            nullptr) == ERROR_SUCCESS);
    REQUIRE(RegSetValueExA(run.get(), "Sentavio", 0, REG_SZ, reinterpret_cast<const BYTE*>(autostart),
                           sizeof(autostart)) == ERROR_SUCCESS);

    const Alarms optimum = testbed::kOptimumAlarms;
    struct Case {
        const char* name;
        Alarms alarms;
        DWORD hibernate;
        PowerLibrary library;
        bool refuseRead;
        Shows shows;
        std::string text;  // the box's text when it is an error box
    } cases[] = {
        { "optimum, hibernation allowed", optimum, 1, PowerLibrary::StandIn, false, Shows::Nothing, "" },
        { "critical alarm off", { 0, 0, 100, 3, 0 }, 1, PowerLibrary::StandIn, false, Shows::Prompt, "" },
        { "low alarm on", { 1, 1, 100, 3, 0 }, 1, PowerLibrary::StandIn, false, Shows::Prompt, "" },
        { "critical level 99", { 1, 0, 99, 3, 0 }, 1, PowerLibrary::StandIn, false, Shows::Prompt, "" },
        { "critical action shutdown", { 1, 0, 100, 6, 0 }, 1, PowerLibrary::StandIn, false, Shows::Prompt, "" },
        { "event code 1", { 1, 0, 100, 3, 1 }, 1, PowerLibrary::StandIn, false, Shows::Prompt, "" },
        { "critical Enable byte 2", { 2, 0, 100, 3, 0 }, 1, PowerLibrary::StandIn, false, Shows::Prompt, "" },
        { "hibernation not allowed", optimum, 0, PowerLibrary::StandIn, false, Shows::Prompt, "" },
        { "another hibernation answer", optimum, 2, PowerLibrary::StandIn, false, Shows::Nothing, "" },
        { "no power library", optimum, 1, PowerLibrary::Missing, false, Shows::ErrorBox,
          SystemText(ERROR_MOD_NOT_FOUND) },
        { "refused read", optimum, 1, PowerLibrary::StandIn, true, Shows::ErrorBox, Text(IDS_REGISTRY_ERROR) },
        // Stock Wine allows hibernation but refuses to read the policy.
        { "Wine's own library", optimum, 1, PowerLibrary::WineOwn, false, Shows::ErrorBox,
          Text(IDS_REGISTRY_ERROR) },
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        REQUIRE(testbed::PreparePowerMachine(c.alarms) == 0);
        REQUIRE(testbed::SetHibernateAnswer(c.hibernate) == ERROR_SUCCESS);
        REQUIRE(testbed::SetPolicyRefusals(c.refuseRead, false) == ERROR_SUCCESS);
        REQUIRE(testbed::SetPowerLibrary(c.library) == 0);
        const std::vector<std::string> before = Snapshot();

        bool ended = false;
        const std::vector<robot::Window> windows = RunSentavio(ended);

        CHECK(ended);
        if (c.shows == Shows::Nothing) {
            CHECK(windows.empty());
        } else {
            REQUIRE(windows.size() == 1);
            const robot::Window& w = windows[0];
            CHECK(w.caption == Text(IDS_TITLE));
            if (c.shows == Shows::Prompt) {
                const robot::Control* message = w.Find(IDC_MESSAGE);
                REQUIRE(message != nullptr);
                CHECK(message->text == Text(IDS_NOT_OPTIMAL));
            } else {
                CHECK(Visible(w.StaticText()) == c.text);
            }
        }
        CHECK(Snapshot() == before);
    }

    CHECK(RegDeleteValueA(run.get(), "Sentavio") == ERROR_SUCCESS);
    CHECK(testbed::PreparePowerMachine(optimum) == 0);
    CHECK(testbed::SetProgramVersion("") == ERROR_SUCCESS);
    CHECK(testbed::RemoveService(testbed::kBatteryService) == 0);
}
