#include "Qualify.h"

#include "Machine.h"
#include "RegistryMachine.h"

namespace testbed {

DWORD Qualify(const Alarms& alarms, const char* program)
{
    DWORD error = static_cast<DWORD>(SetProgramVersion("win2k", program));
    if (error == ERROR_SUCCESS)
        error = SetService(kBatteryService, kMakersDriverPath);
    if (error == ERROR_SUCCESS)
        error = PreparePowerMachine(alarms);
    if (error == ERROR_SUCCESS)
        error = static_cast<DWORD>(WriteBystanders());
    if (error == ERROR_SUCCESS)
        error = static_cast<DWORD>(WriteValue(kPowerKey, kHeuristicsValue, { true, REG_BINARY, Pattern(20) }));
    if (error == ERROR_SUCCESS)
        error = static_cast<DWORD>(WriteString(kRunKey, kAutostartValue, kAutostartCommand));
    return error;
}

namespace {

int QualifyCommand(const std::vector<std::string>& args)
{
    return args.empty() ? Outcome(Qualify(), "cannot prepare a machine that qualifies") : 2;
}

const AreaRegistration registration{
    { "qualify",
      { { "qualify", "   (a machine Sentavio.exe prompts on: Windows 2000, the maker's driver, "
                     "the critical alarm at 5 % with no action, Heuristics, the Run value)",
          &QualifyCommand } },
      nullptr } };

}  // namespace

}  // namespace testbed
