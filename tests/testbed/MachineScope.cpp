#include "MachineScope.h"

#include "PowerMachine.h"

#include <algorithm>
#include <cstdio>

namespace testbed {

// The power key, the Run key, the power policy, the stand-in library's switches, the fault build's
// settings, and the battery service's, which the service manager keeps and puts back.
const std::vector<const RegKey*> kScopedKeys = {
    &kPowerKey, &kRunKey, &kUserPolicyKey, &kMachinePolicyKey, &kSwitchKey, &kFaultBuildSettingsKey,
    &kBatteryServiceKey,
};

RegValue ValueIn(const MachineSnapshot& s, const RegKey& key, const std::string& name)
{
    const size_t i = std::find_if(kScopedKeys.begin(), kScopedKeys.end(), [&key](const RegKey* k) { return *k == key; }) -
                     kScopedKeys.begin();
    const auto& values = s.keys.at(i).values;
    const auto found = values.find(name);
    return found != values.end() ? found->second : RegValue{};
}

namespace {

int g_failedRestores = 0;

// Names a restore that failed; 0 is success.
int Check(long error, const std::string& what)
{
    if (error == 0)
        return 0;
    ++g_failedRestores;
    std::fprintf(stderr, "machine scope: %s\n", Failure("cannot put back " + what, static_cast<DWORD>(error)).c_str());
    std::fflush(stderr);
    return 1;
}

// One key as saved: deleted if it was missing, else exactly its values.
int RestoreKey(const RegKey& key, const MachineSnapshot::Key& saved)
{
    const std::string path = std::string("key ") + key.path;
    if (!saved.present)
        return Check(DeleteKey(key), path);
    int failed = Check(CreateKey(key), path);
    for (const auto& [name, value] : ReadAllValues(key))
        if (saved.values.count(name) == 0)
            failed += Check(DeleteValue(key, name.c_str()), "\"" + name + "\" of " + path);
    for (const auto& [name, value] : saved.values)
        if (ReadValue(key, name.c_str()) != value)
            failed += Check(WriteValue(key, name.c_str(), value), "\"" + name + "\" of " + path);
    return failed;
}

}  // namespace

MachineSnapshot TakeSnapshot()
{
    MachineSnapshot snapshot;
    snapshot.version = ProgramVersion();
    snapshot.service = QueryService(kBatteryService);
    snapshot.library = ReadString(kSwitchKey, kLibraryValue);
    for (const RegKey* key : kScopedKeys)
        snapshot.keys.push_back({ KeyExists(*key), ReadAllValues(*key) });
    return snapshot;
}

int RestoreSnapshot(const MachineSnapshot& saved)
{
    int failed = 0;
    if (ProgramVersion() != saved.version)
        failed += Check(SetProgramVersion(saved.version), "the version of Sentavio.exe");
    const ServiceState service = QueryService(kBatteryService);
    if (service.present != saved.service.present || service.binaryPath != saved.service.binaryPath)
        failed += Check(saved.service.present ? SetService(kBatteryService, saved.service.binaryPath)
                                              : RemoveService(kBatteryService),
                        "the battery service");
    // Before the switches, which name the library: putting one in place names it anew.
    if (ReadString(kSwitchKey, kLibraryValue) != saved.library)
        failed += Check(SetPowerLibrary(PowerLibraryNamed(saved.library)), "the power library");
    for (size_t i = 0; i < saved.keys.size() && i < kScopedKeys.size(); ++i)
        if (kScopedKeys[i] != &kBatteryServiceKey)
            failed += RestoreKey(*kScopedKeys[i], saved.keys[i]);
    return failed;
}

int MachineScope::FailedRestores()
{
    return g_failedRestores;
}

}  // namespace testbed
