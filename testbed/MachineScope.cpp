#include "MachineScope.h"

#include "PowerMachine.h"

#include <cstdio>

namespace testbed {

namespace {

// The keys whose values are put back as a whole.
const RegKey* const kScopedKeys[] = {
    &kPowerKey, &kRunKey, &kUserPolicyKey, &kMachinePolicyKey, &kSwitchKey, &kFaultBuildSettingsKey,
};

int g_failedRestores = 0;

// Names a restore that failed; 0 is success.
void Check(long error, const std::string& what)
{
    if (error == 0)
        return;
    ++g_failedRestores;
    std::fprintf(stderr, "machine scope: %s\n", Failure("cannot put back " + what, static_cast<DWORD>(error)).c_str());
    std::fflush(stderr);
}

// The library the switches name; none named is Wine's own.
PowerLibrary LibraryNamed(const std::string& name)
{
    for (PowerLibrary library : { PowerLibrary::StandIn, PowerLibrary::NoHibernateEntry, PowerLibrary::NoReadEntry,
                                  PowerLibrary::NoWriteEntry, PowerLibrary::Missing })
        if (name == PowerLibraryName(library))
            return library;
    return PowerLibrary::WineOwn;
}

}  // namespace

MachineScope::MachineScope()
    : m_version(ProgramVersion()),
      m_service(QueryService(kBatteryService)),
      m_library(ReadString(kSwitchKey, kLibraryValue))
{
    for (const RegKey* key : kScopedKeys)
        m_keys.push_back({ key, KeyExists(*key), ReadAllValues(*key) });
}

MachineScope::~MachineScope()
{
    if (ProgramVersion() != m_version)
        Check(SetProgramVersion(m_version), "the version of Sentavio.exe");
    const ServiceState service = QueryService(kBatteryService);
    if (service.present != m_service.present || service.binaryPath != m_service.binaryPath)
        Check(m_service.present ? SetService(kBatteryService, m_service.binaryPath) : RemoveService(kBatteryService),
              "the battery service");
    // Before the switches, which name the library: putting one in place
    // names it anew.
    if (ReadString(kSwitchKey, kLibraryValue) != m_library)
        Check(SetPowerLibrary(LibraryNamed(m_library)), "the power library");
    for (const KeyState& k : m_keys) {
        const std::string key = std::string("key ") + k.key->path;
        if (!k.present) {
            Check(DeleteKey(*k.key), key);
            continue;
        }
        Check(CreateKey(*k.key), key);
        for (const auto& [name, value] : ReadAllValues(*k.key))
            if (k.values.count(name) == 0)
                Check(DeleteValue(*k.key, name.c_str()), "\"" + name + "\" of " + key);
        for (const auto& [name, value] : k.values)
            if (ReadValue(*k.key, name.c_str()) != value)
                Check(WriteValue(*k.key, name.c_str(), value), "\"" + name + "\" of " + key);
    }
}

int MachineScope::FailedRestores()
{
    return g_failedRestores;
}

}  // namespace testbed
