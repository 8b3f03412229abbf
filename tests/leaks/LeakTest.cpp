// Every operation of the program, on success and on each failure path,
// leaves the process's handles as it found them: tokens, service handles,
// registry keys and libraries are all given back (the power library's
// operations are rows of power_test's grid, watched the same way). A first
// pass over the rows lets the system set up what it keeps for the process's
// lifetime (the cached root key, the window station); in the second, the
// handle watch looks at each row's operation. The robot closes the error
// boxes a failure shows; their number proves the row took the path it names.
// No row may close INVALID_HANDLE_VALUE: it is what a failed snapshot or file
// open answers, and a holder of one holds nothing. The last rows hold the
// test bed's own owners to the same.
#include <doctest.h>

#include "app/PowerCheckApp.h"
#include "res/resource.h"
#include "system/Probes.h"
#include "system/RegistryEdits.h"
#include "tests/support/Handles.h"
#include "tests/faults/FaultStandIns.h"
#include "tests/support/Texts.h"
#include "tests/testbed/Holders.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/Qualify.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/RegistryMachine.h"
#include "tests/testbed/Process.h"
#include "tests/testbed/Robot.h"

#include <tlhelp32.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

// The values a qualifying machine has, or none.
void SetHeuristics(bool present)
{
    REQUIRE(testbed::WriteValue(testbed::kPowerKey, testbed::kHeuristicsValue,
                                { present, REG_BINARY, testbed::Pattern(20) }) == ERROR_SUCCESS);
}

void SetAutostart(bool present)
{
    REQUIRE((present ? testbed::WriteString(testbed::kRunKey, testbed::kAutostartValue, testbed::kAutostartCommand)
                     : testbed::DeleteValue(testbed::kRunKey, testbed::kAutostartValue)) == ERROR_SUCCESS);
}

// Wine's restart ends the whole session, this test with it: every row that
// restarts holds ExitWindowsEx's stand-in, which accepts or refuses.
std::optional<faults::CFault> g_restart;
void Restart(bool accepted)
{
    g_restart.emplace("ExitWindowsEx", accepted ? 0 : 1, ERROR_PRIVILEGE_NOT_HELD);
}

void Service(const char* path)
{
    REQUIRE((path != nullptr ? testbed::SetService(testbed::kBatteryService, path)
                             : testbed::RemoveService(testbed::kBatteryService)) == ERROR_SUCCESS);
}

const robot::Answer kClose = [](HWND window) { robot::CloseBox(window); };
const robot::Answer kYesTicked = [](HWND prompt) {
    robot::SetCheck(prompt, IDC_DONT_SHOW_AGAIN, true);
    robot::Click(prompt, IDYES);
};
const robot::Answer kYes = [](HWND box) { robot::Click(box, IDYES); };
const robot::Answer kNo = [](HWND box) { robot::Click(box, IDNO); };

void Qualifying(const testbed::Alarms& alarms)
{
    REQUIRE(testbed::Qualify(alarms) == ERROR_SUCCESS);
    Restart(true);
}

// A process id no process has (ids are multiples of four, counted up from
// the bottom): a snapshot of its modules is refused.
constexpr DWORD kNoSuchProcess = 0xFFFFFFF0;

bool HoldSnapshot(DWORD flags, DWORD processId)
{
    return static_cast<bool>(CFileHolder(CreateToolhelp32Snapshot(flags, processId)));
}

std::string SelfPath()
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return self;
}

// One child of the test bed takes a second program: the first is let go.
bool StartTwice()
{
    const std::string line = "\"" + SelfPath() + "\" --no-run";
    process::Child child;
    return child.Start(line) && child.Start(line) && child.Wait(30000);
}

struct Row {
    const char* name;
    std::function<void()> prepare;
    std::function<bool()> operation;
    bool expected;
    size_t boxes;  // windows the path shows: error boxes, or the prompt and question
    std::vector<robot::Answer> answers = { kClose, kClose };
};

const auto kUsesMakersDriver = [] { return CServiceQuery().UsesDriverFile("cmbatt", "DIVURUVA.dor") != FALSE; };
const auto kSetFlag = [] { return SetHeuristicsFlag(TRUE) != FALSE; };
const auto kRemoveAutostart = [] { return RemoveAutostartEntry() != FALSE; };
const auto kRestart = [] { return RestartSystem(EWX_REBOOT | EWX_FORCE) != FALSE; };
const auto kCheckEnds = [] { return CPowerCheckApp().InitInstance() == FALSE; };
const auto kNeedsPrompt = [] { Qualifying(testbed::kCriticalAtFiveNoAction); };

const Row kRows[] = {
    { "version record", [] {}, [] { COSVersionInfo v; return v.m_osvi.dwMajorVersion != 0; }, true, 0 },
    { "administrator, process token", [] {}, [] { return IsAdministrator() != FALSE; }, true, 0 },
    { "administrator, impersonating thread", [] {},
      [] {
          ImpersonateSelf(SecurityImpersonation);
          bool admin = IsAdministrator() != FALSE;
          RevertToSelf();
          return admin;
      },
      true, 0 },
    { "driver file, maker's driver", [] { Service(testbed::kMakersDriverPath); }, kUsesMakersDriver, true, 0 },
    { "driver file, stock driver", [] { Service(testbed::kStockDriverPath); }, kUsesMakersDriver, false, 0 },
    { "driver file, no such service", [] { Service(nullptr); }, kUsesMakersDriver, false, 0 },

    { "Heuristics flag, value present", [] { SetHeuristics(true); }, kSetFlag, true, 0 },
    { "Heuristics flag, value missing", [] { SetHeuristics(false); }, kSetFlag, true, 0 },
    { "Heuristics flag, key missing", [] { REQUIRE(testbed::DeleteKey(testbed::kPowerKey) == ERROR_SUCCESS); },
      kSetFlag, false, 1 },

    { "autostart removed", [] { SetAutostart(true); }, kRemoveAutostart, true, 0 },
    { "autostart already gone", [] { SetAutostart(false); }, kRemoveAutostart, false, 1 },

    { "restart accepted", [] { Restart(true); }, kRestart, true, 0 },
    { "restart refused", [] { Restart(false); }, kRestart, false, 1 },

    { "snapshot held", [] {}, [] { return HoldSnapshot(TH32CS_SNAPPROCESS, 0); }, true, 0 },
    { "snapshot refused, its holder closes nothing", [] {},
      [] { return HoldSnapshot(TH32CS_SNAPMODULE, kNoSuchProcess); }, false, 0 },
    { "test bed child started twice", [] {}, StartTwice, true, 0 },
};

// The whole check, from the test program's own start; Wine fixes the version
// a program sees when it starts, so these rows run in a child that sees
// Windows 2000.
const Row kCheckRows[] = {
    { "check, settings already optimal", [] { Qualifying(testbed::kOptimumAlarms); }, kCheckEnds, true, 0 },
    { "check, prompt cancelled", kNeedsPrompt, kCheckEnds, true, 1 },
    { "check, Yes, no restart, autostart removed", kNeedsPrompt, kCheckEnds, true, 2, { kYesTicked, kNo } },
    { "check, Yes and restart", kNeedsPrompt, kCheckEnds, true, 2, { kYes, kYes } },
};

template <size_t N>
void CheckRows(const Row (&rows)[N])
{
    testbed::MachineScope machine;
    // The first pass also opens the connection to the service manager that
    // the test bed keeps.
    for (const Row& row : rows) {
        row.prepare();
        texts::Run(row.operation, row.answers);
    }
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        row.prepare();
        bool result = false;
        const texts::Outcome outcome = texts::Run([&] { result = row.operation(); }, row.answers);
        CHECK(result == row.expected);
        CHECK(outcome.boxes.size() == row.boxes);
        CHECK(outcome.handlesKept);
        CHECK(outcome.invalidCloses == 0);
    }
    g_restart.reset();
}

}  // namespace

// The one self-test of the handle watch that every test of handles uses.
TEST_CASE("the handle watch sees a key and a token left open, and a close of INVALID_HANDLE_VALUE")
{
    CKeyHolder key;
    CHandleHolder token;
    const handles::CWatch watch;
    REQUIRE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, testbed::kRunKey.path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS);
    CHECK_FALSE(watch.Unchanged());
    REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()));
    key.Reset();
    CHECK_FALSE(watch.Unchanged());  // the token alone
    token.Reset();
    CHECK(watch.Unchanged());
    CloseHandle(INVALID_HANDLE_VALUE);
    CHECK(watch.InvalidCloses() == 1);
}

TEST_CASE("every operation leaves the process's handles as it found them")
{
    CheckRows(kRows);
}

TEST_CASE("the whole check leaves the process's handles as it found them")
{
    COSVersionInfo version;
    if (version.m_osvi.dwMajorVersion == 5) {
        CheckRows(kCheckRows);
        return;
    }
    REQUIRE(testbed::SetProgramVersion("win2k", "leak_test.exe") == ERROR_SUCCESS);
    process::Child child;
    DWORD exitCode = 1;
    // Minimal: its summary line would pass for this program's own when CTest
    // reads the output.
    bool started = child.Start("\"" + SelfPath() + "\" --minimal --test-case=\"the whole check*\"");
    bool ended = started && child.Wait(300000, &exitCode);
    testbed::SetProgramVersion("", "leak_test.exe");
    REQUIRE(ended);
    CHECK(exitCode == 0);
}
