// Every operation of the program, on success and on each failure path,
// leaves the process's handles as it found them: tokens, service handles,
// registry keys and libraries are all given back. A first pass over the rows
// lets the system set up what it keeps for the process's lifetime (the cached
// root key, the window station); in the second, each row prepares the
// simulated machine and the handles are counted around its operation. The
// error boxes a failure shows are closed by the robot; their number proves
// that the row took the path it names. No row may close INVALID_HANDLE_VALUE:
// it is what a failed snapshot or file open answers, and a holder of one
// holds nothing. The last rows hold the test bed's own owners to the same.
#include <doctest.h>

#include "app/PowerCheckApp.h"
#include "framework/afxlate.h"
#include "tests/testbed/Holders.h"
#include "res/resource.h"
#include "system/PowerPolicy.h"
#include "system/Probes.h"
#include "system/RegistryEdits.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/Process.h"
#include "tests/testbed/Robot.h"

#include <tlhelp32.h>

#include <functional>
#include <string>
#include <vector>

// Wine's restart ends the whole session, this test with it: the restart rows
// replace ExitWindowsEx in its late-bound import slot with a fake.
extern decltype(&::ExitWindowsEx) g_slotExitWindowsEx asm(AFX_IMPORT_SLOT(ExitWindowsEx, 8));
// CloseHandle(INVALID_HANDLE_VALUE) answers success and closes nothing (the
// value is also the process's own pseudo handle): only a watch on the import
// slot that every call of this program goes through sees one.
extern decltype(&::CloseHandle) g_slotCloseHandle asm(AFX_IMPORT_SLOT(CloseHandle, 4));

namespace {

// Wine 8 answers GetProcessHandleCount with 0 whatever is open; there the
// handle values are tried one by one. Wine hands out the lowest free value,
// so a long run of unused values ends the table.
DWORD CountHandles()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0)
        return count;
    count = 0;
    for (ULONG_PTR value = 4, unused = 0; unused < 1024; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            unused = 0;
        } else {
            ++unused;
        }
    }
    return count;
}

// Wine's own worker threads open and close handles of their own for a moment
// after a call into the service manager: count once the number holds still.
DWORD SettledCount()
{
    DWORD count = CountHandles();
    for (int i = 0; i < 20; ++i) {
        Sleep(50);
        DWORD again = CountHandles();
        if (again == count)
            break;
        count = again;
    }
    return count;
}

void SetHeuristics(bool present)
{
    REQUIRE(testbed::WriteValue(testbed::kPowerKey, testbed::kHeuristicsValue,
                                { present, REG_BINARY, std::vector<BYTE>(20, 0x11) }) == ERROR_SUCCESS);
}

void RemovePowerKey()
{
    REQUIRE(testbed::DeleteKey(testbed::kPowerKey) == ERROR_SUCCESS);
}

void SetAutostart(bool present)
{
    const std::string command = "C:\\Program Files\\Sentavio\\Sentavio.exe";
    REQUIRE(testbed::WriteValue(testbed::kRunKey, testbed::kAutostartValue,
                                { present, REG_SZ, std::vector<BYTE>(command.begin(), command.end() + 1) }) ==
            ERROR_SUCCESS);
}

// What the fake ExitWindowsEx answers, and the error it leaves.
BOOL g_restartAnswer = TRUE;
BOOL WINAPI FakeExitWindowsEx(UINT, DWORD)
{
    if (!g_restartAnswer)
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return g_restartAnswer;
}

// The function CloseHandle's slot held before the watch took it.
decltype(&::CloseHandle) g_realCloseHandle = nullptr;
int g_invalidCloses = 0;
BOOL WINAPI WatchedCloseHandle(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        ++g_invalidCloses;
    return g_realCloseHandle(handle);
}

// Puts a stand-in into an import slot, and what the slot held back when it
// goes.
template <typename F>
class SlotScope {
public:
    SlotScope(F& slot, F standIn) : m_slot(slot), m_held(slot) { slot = standIn; }
    ~SlotScope() { m_slot = m_held; }
    SlotScope(const SlotScope&) = delete;
    SlotScope& operator=(const SlotScope&) = delete;

private:
    F& m_slot;
    F m_held;
};

void Power(testbed::PowerLibrary library, bool refuseRead = false, bool refuseWrite = false)
{
    REQUIRE(testbed::PreparePowerMachine(testbed::kCriticalAtFiveNoAction) == ERROR_SUCCESS);
    REQUIRE(testbed::SetPowerLibrary(library) == ERROR_SUCCESS);
    REQUIRE(testbed::SetPolicyRefusals(refuseRead, refuseWrite) == ERROR_SUCCESS);
}

void Service(const char* path)
{
    if (path != nullptr)
        REQUIRE(testbed::SetService(testbed::kBatteryService, path) == ERROR_SUCCESS);
    else
        REQUIRE(testbed::RemoveService(testbed::kBatteryService) == ERROR_SUCCESS);
}

bool UsesMakersDriver()
{
    CServiceQuery query;
    return query.UsesDriverFile("cmbatt", "DIVURUVA.dor") != FALSE;
}

const DischargeSettings kOptimum = { 1, 0, 100, 3, 0 };

const robot::Answer kClose = [](HWND window) { robot::CloseBox(window); };
const robot::Answer kYesTicked = [](HWND prompt) {
    robot::SetCheck(prompt, IDC_DONT_SHOW_AGAIN, true);
    robot::Click(prompt, IDYES);
};
const robot::Answer kYes = [](HWND box) { robot::Click(box, IDYES); };
const robot::Answer kNo = [](HWND box) { robot::Click(box, IDNO); };

void Qualifying(const testbed::Alarms& alarms)
{
    Service(testbed::kMakersDriverPath);
    REQUIRE(testbed::PreparePowerMachine(alarms) == ERROR_SUCCESS);
    SetHeuristics(true);
    SetAutostart(true);
    g_restartAnswer = TRUE;
}

bool CheckEnds()
{
    CPowerCheckApp app;
    return app.InitInstance() == FALSE;
}

// A process id no process has (ids are multiples of four, counted up from
// the bottom): a snapshot of its modules is refused.
constexpr DWORD kNoSuchProcess = 0xFFFFFFF0;

bool HoldSnapshot(DWORD flags, DWORD processId)
{
    const CFileHolder snapshot(CreateToolhelp32Snapshot(flags, processId));
    return static_cast<bool>(snapshot);
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

using testbed::PowerLibrary;

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
    { "driver file, maker's driver", [] { Service(testbed::kMakersDriverPath); }, UsesMakersDriver, true, 0 },
    { "driver file, stock driver", [] { Service(testbed::kStockDriverPath); }, UsesMakersDriver, false, 0 },
    { "driver file, no such service", [] { Service(nullptr); }, UsesMakersDriver, false, 0 },

    { "hibernation allowed", [] { Power(PowerLibrary::StandIn); },
      [] { return IsHibernateAllowed() == HibernateState::Allowed; }, true, 0 },
    { "hibernation, library missing", [] { Power(PowerLibrary::Missing); },
      [] { return IsHibernateAllowed() != HibernateState::Failed; }, false, 1 },
    { "hibernation, entry missing", [] { Power(PowerLibrary::NoHibernateEntry); },
      [] { return IsHibernateAllowed() != HibernateState::Failed; }, false, 1 },

    { "read alarms", [] { Power(PowerLibrary::StandIn); },
      [] { DischargeSettings s = {}; return ReadDischargeSettings(s) != FALSE; }, true, 0 },
    { "read alarms, library missing", [] { Power(PowerLibrary::Missing); },
      [] { DischargeSettings s = {}; return ReadDischargeSettings(s) != FALSE; }, false, 1 },
    { "read alarms, entry missing", [] { Power(PowerLibrary::NoReadEntry); },
      [] { DischargeSettings s = {}; return ReadDischargeSettings(s) != FALSE; }, false, 1 },
    { "read alarms, refused", [] { Power(PowerLibrary::StandIn, true, false); },
      [] { DischargeSettings s = {}; return ReadDischargeSettings(s) != FALSE; }, false, 1 },

    { "write alarms", [] { Power(PowerLibrary::StandIn); },
      [] { return WriteDischargeSettings(kOptimum) != FALSE; }, true, 0 },
    { "write alarms, library missing", [] { Power(PowerLibrary::Missing); },
      [] { return WriteDischargeSettings(kOptimum) != FALSE; }, false, 1 },
    { "write alarms, read entry missing", [] { Power(PowerLibrary::NoReadEntry); },
      [] { return WriteDischargeSettings(kOptimum) != FALSE; }, false, 1 },
    { "write alarms, write entry missing", [] { Power(PowerLibrary::NoWriteEntry); },
      [] { return WriteDischargeSettings(kOptimum) != FALSE; }, false, 1 },
    { "write alarms, read refused", [] { Power(PowerLibrary::StandIn, true, false); },
      [] { return WriteDischargeSettings(kOptimum) != FALSE; }, false, 1 },
    { "write alarms, write refused", [] { Power(PowerLibrary::StandIn, false, true); },
      [] { return WriteDischargeSettings(kOptimum) != FALSE; }, false, 1 },

    { "Heuristics flag, value present", [] { SetHeuristics(true); },
      [] { return SetHeuristicsFlag(TRUE) != FALSE; }, true, 0 },
    { "Heuristics flag, value missing", [] { SetHeuristics(false); },
      [] { return SetHeuristicsFlag(TRUE) != FALSE; }, true, 0 },
    { "Heuristics flag, key missing", [] { RemovePowerKey(); },
      [] { return SetHeuristicsFlag(TRUE) != FALSE; }, false, 1 },

    { "autostart removed", [] { SetAutostart(true); },
      [] { return RemoveAutostartEntry() != FALSE; }, true, 0 },
    { "autostart already gone", [] { SetAutostart(false); },
      [] { return RemoveAutostartEntry() != FALSE; }, false, 1 },

    { "restart accepted", [] { g_restartAnswer = TRUE; },
      [] { return RestartSystem(EWX_REBOOT | EWX_FORCE) != FALSE; }, true, 0 },
    { "restart refused", [] { g_restartAnswer = FALSE; },
      [] { return RestartSystem(EWX_REBOOT | EWX_FORCE) != FALSE; }, false, 1 },

    { "snapshot held", [] {}, [] { return HoldSnapshot(TH32CS_SNAPPROCESS, 0); }, true, 0 },
    { "snapshot refused, its holder closes nothing", [] {},
      [] { return HoldSnapshot(TH32CS_SNAPMODULE, kNoSuchProcess); }, false, 0 },
    { "test bed child started twice", [] {}, StartTwice, true, 0 },
};

// The whole check, from the test program's own start; Wine fixes the version
// a program sees when it starts, so these rows run in a child that sees
// Windows 2000.
const Row kCheckRows[] = {
    { "check, settings already optimal", [] { Qualifying(testbed::kOptimumAlarms); }, CheckEnds, true, 0 },
    { "check, prompt cancelled", [] { Qualifying(testbed::kCriticalAtFiveNoAction); }, CheckEnds, true, 1 },
    { "check, Yes, no restart, autostart removed", [] { Qualifying(testbed::kCriticalAtFiveNoAction); },
      CheckEnds, true, 2, { kYesTicked, kNo } },
    { "check, Yes and restart", [] { Qualifying(testbed::kCriticalAtFiveNoAction); },
      CheckEnds, true, 2, { kYes, kYes } },
};

struct Outcome {
    bool result = false;
    size_t boxes = 0;
};

Outcome Run(const Row& row)
{
    Outcome outcome;
    outcome.boxes = robot::RunAndAnswer([&] { outcome.result = row.operation(); }, row.answers).size();
    return outcome;
}

template <size_t N>
void CheckRows(const Row (&rows)[N])
{
    testbed::MachineScope machine;
    SlotScope restart(g_slotExitWindowsEx, &FakeExitWindowsEx);
    g_realCloseHandle = g_slotCloseHandle;
    SlotScope closes(g_slotCloseHandle, &WatchedCloseHandle);
    // The first pass also opens the connection to the service manager that
    // the test bed keeps.
    for (const Row& row : rows) {
        row.prepare();
        Run(row);
    }
    for (const Row& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        row.prepare();
        DWORD before = SettledCount();
        g_invalidCloses = 0;
        Outcome outcome = Run(row);
        DWORD after = SettledCount();

        CHECK(outcome.result == row.expected);
        CHECK(outcome.boxes == row.boxes);
        CHECK(after == before);
        CHECK(g_invalidCloses == 0);
    }
}

}  // namespace

TEST_CASE("the handle count sees a key that is left open")
{
    DWORD before = CountHandles();
    CKeyHolder key;
    REQUIRE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, testbed::kRunKey.path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS);
    CHECK(CountHandles() == before + 1);
    key.Reset();
    CHECK(CountHandles() == before);
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
    bool started = child.Start("\"" + SelfPath() + "\" --test-case=\"the whole check*\"");
    bool ended = started && child.Wait(300000, &exitCode);
    testbed::SetProgramVersion("", "leak_test.exe");
    REQUIRE(ended);
    CHECK(exitCode == 0);
}
