// The real Sentavio.exe on the simulated machine: every machine that does
// not qualify ends the program silently.
#include <doctest.h>

#include "testbed/Machine.h"
#include "testbed/PowerMachine.h"
#include "tests/support/Process.h"
#include "tests/support/Robot.h"

#include <string>

namespace {

struct Run {
    bool ended = false;
    DWORD exitCode = 0;
    HWND window = nullptr;  // the first window it showed
};

// Starts Sentavio.exe and watches it until it ends, shows a window, or
// runs out of time.
Run WatchSentavio(DWORD timeoutMs)
{
    Run run;
    process::Child child;
    if (!child.Start(process::SentavioExe()))
        return run;
    DWORD start = GetTickCount();
    while (!run.ended && GetTickCount() - start < timeoutMs) {
        run.window = robot::WaitForWindow(child.Id(), 50);
        if (run.window != nullptr)
            break;
        run.ended = child.Wait(0, &run.exitCode);
    }
    return run;  // a program still running is ended by force here
}

}  // namespace

TEST_CASE("Sentavio.exe ends silently on every machine that does not qualify")
{
    // Hibernation allowed and the alarms far from the optimum: a machine
    // that passed the probes would be prompted.
    REQUIRE(testbed::PreparePowerMachine(testbed::kCriticalAtFiveNoAction) == 0);

    struct Case {
        std::string version;
        std::string binaryPath;  // empty: no "cmbatt" service
        bool qualifies;
    } cases[] = {
        { "nt40", testbed::kMakersDriverPath, false },
        { "win98", testbed::kMakersDriverPath, false },
        { "win7", testbed::kMakersDriverPath, false },
        { "win2k", "", false },
        { "win2k", testbed::kStockDriverPath, false },
        { "win2k", testbed::kLowerCaseMakersPath, false },
        // The control: the same watch sees the prompt when the machine
        // qualifies, on Windows 2000 and on XP (NT 5.1).
        { "win2k", testbed::kMakersDriverPath, true },
        { "winxp", testbed::LongDriverPath(), true },
    };
    for (const Case& c : cases) {
        CAPTURE(c.version);
        CAPTURE(c.binaryPath);
        REQUIRE(testbed::SetProgramVersion(c.version.c_str()) == ERROR_SUCCESS);
        if (c.binaryPath.empty())
            REQUIRE(testbed::RemoveService(testbed::kBatteryService) == 0);
        else
            REQUIRE(testbed::SetService(testbed::kBatteryService, c.binaryPath) == 0);

        Run run = WatchSentavio(c.qualifies ? 10000 : 5000);
        if (c.qualifies) {
            CHECK(run.window != nullptr);
        } else {
            CHECK(run.window == nullptr);
            CHECK(run.ended);
            CHECK(run.exitCode == 0);
        }
    }
    CHECK(testbed::SetProgramVersion("") == ERROR_SUCCESS);
    CHECK(testbed::RemoveService(testbed::kBatteryService) == 0);
}
