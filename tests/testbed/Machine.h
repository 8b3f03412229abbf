// The simulated machine: puts the Wine prefix into a named state for Sentavio.exe and reports that
// state, for tests and the console tool sentavio-machine.exe. It has areas (this file: the Windows
// version Sentavio.exe sees and the battery service; others: power, registry, scope). Each offers
// commands to the tool and lines to its report by registering an Area:
//
//     static const testbed::AreaRegistration registration{ {
//         "power",
//         { { "power-hibernate", "<answer>", &HibernateCommand } },
//         &PowerReport } };
//
// The tool links the whole library, so every registration is seen.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testbed {

// ---- The tool's command table ----------------------------------------------

// A handler gets the words after the command's name and returns the tool's exit status: 0 done, 1 the
// machine refused (say why on stderr), 2 usage.
using Handler = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* usage;  // the arguments, as the tool's help shows them
    Handler handler;
};

struct Area {
    const char* name;
    std::vector<Command> commands;
    // Appends "what: state" lines for the tool's report; nullptr where another area reports its state.
    void (*report)(std::vector<std::string>& lines);
};

// Areas in registration order.
const std::vector<Area>& Areas();

class AreaRegistration {
public:
    explicit AreaRegistration(Area area);
};

// "text (error N)" for stderr.
std::string Failure(const std::string& what, DWORD error);
// A handler's exit status for the machine's answer: 0, or 1 once "what (error N)" is on stderr.
int Outcome(DWORD error, const char* what);

// ---- The Windows version a program sees ------------------------------------

constexpr const char* kSentavioExe = "Sentavio.exe";

// Wine's per-program version setting: "win2k", "winxp", "nt40", "win98", "win7" ...; an empty one
// removes it, so the prefix's default applies. Only the named program is affected: the tools keep
// theirs. Answers 0 or the registry's error.
LONG SetProgramVersion(const std::string& version, const char* program = kSentavioExe);
// The setting, or "" when there is none.
std::string ProgramVersion(const char* program = kSentavioExe);

// ---- A service's configured binary path ------------------------------------

constexpr const char* kBatteryService = "cmbatt";
constexpr const char* kMakersDriverPath = "system32\\DRIVERS\\DIVURUVA.dor";
constexpr const char* kStockDriverPath = "system32\\DRIVERS\\CmBatt.sys";
constexpr const char* kLowerCaseMakersPath = "system32\\drivers\\divuruva.dor";
// A path of several kilobytes that names the maker's file only at its end.
std::string LongDriverPath();

// Creates the service as a demand-start kernel driver with this binary path, or changes the path of
// the one that exists. Answers 0 or the error.
DWORD SetService(const char* name, const std::string& binaryPath);
// Deletes the service and waits until the service manager has let it go; one that does not exist is
// already removed. Answers 0 or the error.
DWORD RemoveService(const char* name);

struct ServiceState {
    bool present = false;
    std::string binaryPath;
    DWORD error = 0;  // why the state could not be read, else 0
};
ServiceState QueryService(const char* name);

}  // namespace testbed
