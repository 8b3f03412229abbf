// The simulated machine's power state: which power-management library the prefix's system directory
// holds, what it answers, and the global power policy it keeps. Tests link these functions; the tool
// sentavio-machine.exe offers them as "power-..." commands.
#pragma once

#include <windows.h>

#include <powrprof.h>

#include <string>

#include "system/PowerPolicy.h"

namespace testbed {

// ---- The library -----------------------------------------------------------

enum class PowerLibrary {
    StandIn,           // ours, with all three entry points
    NoHibernateEntry,  // ours without "IsPwrHibernateAllowed"
    NoReadEntry,       // ours without "ReadGlobalPwrPolicy"
    NoWriteEntry,      // ours without "WriteGlobalPwrPolicy"
    Missing,           // no powrprof.dll, and Wine told to load only a file
    WineOwn,           // Wine's own library, as a fresh prefix has it
};

// Puts that library in place: ours is copied into the prefix's system directory with the DLL override
// "native", which makes Wine load the file. Answers 0 or the error.
DWORD SetPowerLibrary(PowerLibrary library);
// The name the tool uses for it ("standin", "missing", ...), and back: any other name is Wine's own.
const char* PowerLibraryName(PowerLibrary library);
PowerLibrary PowerLibraryNamed(const std::string& name);

// A variant of ours that answers neither 0 nor 1 for hibernation, never installed: a test plants it
// where no program must look.
std::string PlantedPowerLibraryFile();

// ---- What our library answers ----------------------------------------------

// All 32 bits that IsPwrHibernateAllowed hands back; 1 on a fresh machine.
LONG SetHibernateAnswer(DWORD answer);

// ---- The global power policy our library keeps -----------------------------

// The five battery-alarm values, in the program's order.
struct Alarms {
    DWORD criticalEnabled, lowEnabled, criticalLevel, criticalAction, criticalEventCode;
};

// Critical alarm on at 100 % with hibernation and event code 0; low off: the test bed's one copy of
// the program's optimum, which every test and script (through the tool's "optimum") takes from here.
constexpr Alarms kOptimumAlarms = { 1, 0, 100, PowerActionHibernate, 0 };
// The optimum with one value changed.
Alarms OptimumWith(DWORD Alarms::*field, DWORD value);
// The same five values as the program holds them.
DischargeSettings Settings(const Alarms& alarms);
// The five values as numbers with this separator between them: "1 0 100 3 0".
std::string Words(const DischargeSettings& settings, const char* separator);
std::string Words(const Alarms& alarms, const char* separator);
// A usual laptop setting: critical alarm at 5 % with no action, low alarm on.
constexpr Alarms kCriticalAtFiveNoAction = { 1, 1, 5, PowerActionNone, 0 };

// A laptop's policy carrying these alarms, every other field set (no byte is zero by chance).
GLOBAL_POWER_POLICY LaptopPolicy(const Alarms& alarms);
void SetAlarms(GLOBAL_POWER_POLICY& policy, const Alarms& alarms);
Alarms AlarmsOf(const GLOBAL_POWER_POLICY& policy);

// Writes or reads the two registry values themselves, as the stand-in library does (Registry.cpp).
// A part that is missing or of another size fails the load, which then leaves the policy as it was.
LONG StorePowerPolicy(const GLOBAL_POWER_POLICY& policy);
LONG LoadPowerPolicy(GLOBAL_POWER_POLICY& policy);

// The usual machine for a test: our library, hibernation allowed, nothing refused, a laptop policy.
DWORD PreparePowerMachine(const Alarms& alarms);

}  // namespace testbed
