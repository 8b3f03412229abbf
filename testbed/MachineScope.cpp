#include "MachineScope.h"

#include "PowerMachine.h"

namespace testbed {

MachineScope::MachineScope()
    : m_version(ProgramVersion()),
      m_service(QueryService(kBatteryService)),
      m_powerKey(KeyExists(kPowerKey)),
      m_heuristics(ReadValue(kPowerKey, kHeuristicsValue)),
      m_autostart(ReadValue(kRunKey, kAutostartValue))
{
}

MachineScope::~MachineScope()
{
    SetProgramVersion(m_version);
    if (m_service.present)
        SetService(kBatteryService, m_service.binaryPath);
    else
        RemoveService(kBatteryService);
    SetPowerLibrary(PowerLibrary::WineOwn);
    if (m_powerKey) {
        CreateKey(kPowerKey);
        WriteValue(kPowerKey, kHeuristicsValue, m_heuristics);
    } else {
        DeleteKey(kPowerKey);
    }
    WriteValue(kRunKey, kAutostartValue, m_autostart);
}

}  // namespace testbed
