// The real Sentavio.exe on the simulated machine: every machine that does
// not qualify ends the program silently.
#include <doctest.h>

#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/Qualify.h"
#include "tests/testbed/User.h"

#include <string>

TEST_CASE("Sentavio.exe ends silently on every machine that does not qualify")
{
    testbed::MachineScope scope;
    // A machine that qualifies, each row then changing the version and the
    // service: one that passed the probes would be prompted.
    REQUIRE(testbed::Qualify() == 0);

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
        // The control: the same run sees the prompt when the machine
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

        // The user cancels the prompt, so every run ends by itself.
        const user::Session run = user::RunSentavio();
        REQUIRE(run.started);
        CHECK(run.ended);
        CHECK(run.exitCode == 0);
        if (c.qualifies) {
            REQUIRE(run.windows.size() == 1);
            CHECK(run.windows[0].kind == user::Kind::Prompt);
        } else {
            CHECK(run.windows.empty());
        }
    }
}
