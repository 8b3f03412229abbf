#include "PowerMachine.h"

#include "Machine.h"
#include "Process.h"
#include "Registry.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testbed {

namespace {

constexpr const char* kOverrideName = "powrprof";

struct LibraryRow {
    PowerLibrary library;
    const char* name;
    const char* variantDir;  // under POWRPROF_VARIANTS_DIR; nullptr: none of ours
};

const LibraryRow kLibraries[] = {
    { PowerLibrary::StandIn, "standin", "standin" },
    { PowerLibrary::NoHibernateEntry, "no-hibernate-entry", "no_hibernate_entry" },
    { PowerLibrary::NoReadEntry, "no-read-entry", "no_read_entry" },
    { PowerLibrary::NoWriteEntry, "no-write-entry", "no_write_entry" },
    { PowerLibrary::Missing, "missing", nullptr },
    { PowerLibrary::WineOwn, "wine", nullptr },
};

const LibraryRow& RowOf(PowerLibrary library)
{
    for (const LibraryRow& row : kLibraries)
        if (row.library == library)
            return row;
    return kLibraries[0];
}

std::string VariantFile(const char* variantDir)
{
    return process::DosPath(std::string(POWRPROF_VARIANTS_DIR) + "/" + variantDir + "/powrprof.dll");
}

std::string InstalledFile()
{
    char dir[MAX_PATH] = {};
    GetSystemDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\powrprof.dll";
}

// Wine loads even its built-in libraries only where the system directory
// holds their file, so Wine's own file is kept aside before ours replaces it.
std::string WineOwnFile()
{
    return InstalledFile() + ".wine";
}

// Numbers as C writes them: 5, 0x5A.
bool ParseNumber(const std::string& text, DWORD& value)
{
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 0);
    return !text.empty() && *end == '\0';
}

bool ParseAlarms(const std::vector<std::string>& args, Alarms& alarms)
{
    return args.size() == 5 && ParseNumber(args[0], alarms.criticalEnabled) &&
           ParseNumber(args[1], alarms.lowEnabled) && ParseNumber(args[2], alarms.criticalLevel) &&
           ParseNumber(args[3], alarms.criticalAction) && ParseNumber(args[4], alarms.criticalEventCode);
}

int PrepareCommand(const std::vector<std::string>& args)
{
    Alarms alarms = {};
    if (!ParseAlarms(args, alarms))
        return 2;
    return Outcome(PreparePowerMachine(alarms), "cannot prepare the power state");
}

int OptimumCommand(const std::vector<std::string>& args)
{
    if (!args.empty())
        return 2;
    // Without a carriage return, so that a script's $(machine optimum) is five words to pass on.
    _setmode(_fileno(stdout), _O_BINARY);
    std::printf("%s\n", Words(kOptimumAlarms, " ").c_str());
    return 0;
}

int AlarmsCommand(const std::vector<std::string>& args)
{
    Alarms alarms = {};
    if (!ParseAlarms(args, alarms))
        return 2;
    GLOBAL_POWER_POLICY policy = LaptopPolicy(alarms);
    if (LoadPowerPolicy(policy) == ERROR_SUCCESS)
        SetAlarms(policy, alarms);
    return Outcome(static_cast<DWORD>(StorePowerPolicy(policy)), "cannot store the policy");
}

int LibraryCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0] != PowerLibraryName(PowerLibraryNamed(args[0])))
        return 2;
    return Outcome(SetPowerLibrary(PowerLibraryNamed(args[0])), "cannot put the library in place");
}

int HibernateCommand(const std::vector<std::string>& args)
{
    DWORD answer = 0;
    if (args.size() != 1 || !ParseNumber(args[0], answer))
        return 2;
    return Outcome(static_cast<DWORD>(SetHibernateAnswer(answer)), "cannot set the answer");
}

// An Enable byte: 1 is on; any other value but 0 is shown as it is.
std::string OnOff(DWORD enabled)
{
    return enabled == 0 ? "off" : enabled == 1 ? "on" : "on (" + std::to_string(enabled) + ")";
}

void Report(std::vector<std::string>& lines)
{
    const std::string library = ReadString(kSwitchKey, kLibraryValue);
    const std::string override = ReadString(kDllOverridesKey, kOverrideName);
    lines.push_back("test bed power library: " + (library.empty() ? std::string("wine") : library) +
                    " (override " + (override.empty() ? std::string("none") : override) + ")");
    char line[160] = {};
    const DWORD hibernate = ReadDword(kSwitchKey, kHibernateAnswerValue, 1);
    std::snprintf(line, sizeof(line), "hibernation allowed: %s (0x%lX)",
                  hibernate == 0 ? "no" : hibernate == 1 ? "yes" : "another answer", hibernate);
    lines.push_back(line);
    GLOBAL_POWER_POLICY policy = {};
    LONG status = LoadPowerPolicy(policy);
    if (status != ERROR_SUCCESS) {
        lines.push_back(Failure("power alarms: none stored", static_cast<DWORD>(status)));
        return;
    }
    // The five alarm values by name; the action as the platform's POWER_ACTION names it.
    static const char* const kActions[] = { "none", "reserved", "standby", "hibernate", "shutdown",
                                            "shutdown and restart", "shutdown and power off", "warm eject" };
    const Alarms alarms = AlarmsOf(policy);
    lines.push_back("critical alarm: " + OnOff(alarms.criticalEnabled));
    lines.push_back("critical alarm level: " + std::to_string(alarms.criticalLevel) + " %");
    lines.push_back("critical alarm action: " +
                    std::string(alarms.criticalAction < 8 ? kActions[alarms.criticalAction] : "unknown") + " (" +
                    std::to_string(alarms.criticalAction) + ")");
    lines.push_back("critical alarm event code: " + std::to_string(alarms.criticalEventCode));
    lines.push_back("low alarm: " + OnOff(alarms.lowEnabled));
}

const AreaRegistration registration{ {
    "power",
    {
        { "power-prepare", "<critical on> <low on> <critical %> <action> <event code>   "
                           "(our library, hibernation allowed, laptop policy with these alarms)",
          &PrepareCommand },
        { "optimum", "   (the five alarm values the program sets, on one line)", &OptimumCommand },
        { "power-alarms", "<critical on> <low on> <critical %> <action> <event code>   (other bytes kept)",
          &AlarmsCommand },
        { "power-library", "standin|no-hibernate-entry|no-read-entry|no-write-entry|missing|wine",
          &LibraryCommand },
        { "power-hibernate", "<answer>   (0 not allowed, 1 allowed, anything else)", &HibernateCommand },
    },
    &Report } };

}  // namespace

DWORD SetPowerLibrary(PowerLibrary library)
{
    const LibraryRow& row = RowOf(library);
    const std::string installed = InstalledFile();
    if (library == PowerLibrary::WineOwn) {
        if (GetFileAttributesA(WineOwnFile().c_str()) != INVALID_FILE_ATTRIBUTES &&
            !CopyFileA(WineOwnFile().c_str(), installed.c_str(), FALSE))
            return GetLastError();
    } else {
        // The first change of a fresh prefix finds Wine's file in place.
        if (GetFileAttributesA(WineOwnFile().c_str()) == INVALID_FILE_ATTRIBUTES &&
            !CopyFileA(installed.c_str(), WineOwnFile().c_str(), TRUE))
            return GetLastError();
        if (row.variantDir != nullptr ? !CopyFileA(VariantFile(row.variantDir).c_str(), installed.c_str(), FALSE)
                                      : !DeleteFileA(installed.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            return GetLastError();
    }
    const LONG error = library == PowerLibrary::WineOwn ? DeleteValue(kDllOverridesKey, kOverrideName)
                                                        : WriteString(kDllOverridesKey, kOverrideName, "native");
    return static_cast<DWORD>(error != ERROR_SUCCESS ? error : WriteString(kSwitchKey, kLibraryValue, row.name));
}

const char* PowerLibraryName(PowerLibrary library)
{
    return RowOf(library).name;
}

PowerLibrary PowerLibraryNamed(const std::string& name)
{
    for (const LibraryRow& row : kLibraries)
        if (name == row.name)
            return row.library;
    return PowerLibrary::WineOwn;
}

std::string PlantedPowerLibraryFile()
{
    return VariantFile("planted");
}

LONG SetHibernateAnswer(DWORD answer)
{
    return WriteDword(kSwitchKey, kHibernateAnswerValue, answer);
}

Alarms OptimumWith(DWORD Alarms::*field, DWORD value)
{
    Alarms alarms = kOptimumAlarms;
    alarms.*field = value;
    return alarms;
}

DischargeSettings Settings(const Alarms& a)
{
    return { a.criticalEnabled, a.lowEnabled, a.criticalLevel, a.criticalAction, a.criticalEventCode };
}

std::string Words(const DischargeSettings& s, const char* separator)
{
    std::string words;
    for (DWORD value : { s.dwCriticalAlarmEnabled, s.dwLowAlarmEnabled, s.dwCriticalLevel, s.dwCriticalAction,
                         s.dwCriticalEventCode })
        words += (words.empty() ? "" : separator) + std::to_string(value);
    return words;
}

std::string Words(const Alarms& a, const char* separator)
{
    return Words(Settings(a), separator);
}

GLOBAL_POWER_POLICY LaptopPolicy(const Alarms& alarms)
{
    const DWORD ask = POWER_ACTION_QUERY_ALLOWED | POWER_ACTION_UI_ALLOWED;
    GLOBAL_POWER_POLICY policy = {};
    GLOBAL_USER_POWER_POLICY& user = policy.user;
    user.Revision = 1;
    user.PowerButtonAc = user.PowerButtonDc = { PowerActionShutdownOff, ask, 0 };
    user.SleepButtonAc = user.SleepButtonDc = { PowerActionSleep, ask, 0 };
    user.LidCloseAc = { PowerActionNone, ask, 0 };
    user.LidCloseDc = { PowerActionSleep, ask, 0 };
    user.DischargePolicy[DISCHARGE_POLICY_CRITICAL] = {
        1, { 0xC1, 0xC2, 0xC3 }, 5, { PowerActionNone, POWER_ACTION_OVERRIDE_APPS, 0 }, PowerSystemHibernate };
    user.DischargePolicy[DISCHARGE_POLICY_LOW] = {
        1, { 0xD1, 0xD2, 0xD3 }, 10, { PowerActionNone, ask, POWER_LEVEL_USER_NOTIFY_TEXT }, PowerSystemSleeping1 };
    user.DischargePolicy[2] = { 0, { 0xE1, 0xE2, 0xE3 }, 3, { PowerActionSleep, ask, 2 }, PowerSystemSleeping2 };
    user.DischargePolicy[3] = { 0, { 0xF1, 0xF2, 0xF3 }, 1, { PowerActionShutdown, ask, 3 }, PowerSystemSleeping3 };
    user.GlobalFlags = EnableSysTrayBatteryMeter | EnableMultiBatteryDisplay | EnableWakeOnRing;
    policy.mach = { 1, PowerSystemWorking, PowerSystemSleeping1, 25 };
    SetAlarms(policy, alarms);
    return policy;
}

void SetAlarms(GLOBAL_POWER_POLICY& policy, const Alarms& alarms)
{
    SYSTEM_POWER_LEVEL& critical = policy.user.DischargePolicy[DISCHARGE_POLICY_CRITICAL];
    SYSTEM_POWER_LEVEL& low = policy.user.DischargePolicy[DISCHARGE_POLICY_LOW];
    critical.Enable = static_cast<BOOLEAN>(alarms.criticalEnabled);
    low.Enable = static_cast<BOOLEAN>(alarms.lowEnabled);
    critical.BatteryLevel = alarms.criticalLevel;
    critical.PowerPolicy.Action = static_cast<POWER_ACTION>(alarms.criticalAction);
    critical.PowerPolicy.EventCode = alarms.criticalEventCode;
}

DWORD PreparePowerMachine(const Alarms& alarms)
{
    DWORD error = SetPowerLibrary(PowerLibrary::StandIn);
    if (error == ERROR_SUCCESS)
        error = static_cast<DWORD>(SetHibernateAnswer(1));
    if (error == ERROR_SUCCESS)
        error = static_cast<DWORD>(StorePowerPolicy(LaptopPolicy(alarms)));
    return error;
}

Alarms AlarmsOf(const GLOBAL_POWER_POLICY& policy)
{
    const SYSTEM_POWER_LEVEL& critical = policy.user.DischargePolicy[DISCHARGE_POLICY_CRITICAL];
    const SYSTEM_POWER_LEVEL& low = policy.user.DischargePolicy[DISCHARGE_POLICY_LOW];
    return { critical.Enable, low.Enable, critical.BatteryLevel, static_cast<DWORD>(critical.PowerPolicy.Action),
             critical.PowerPolicy.EventCode };
}

}  // namespace testbed
