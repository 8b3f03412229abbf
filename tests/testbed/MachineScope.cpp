#include "MachineScope.h"

#include "RegistryMachine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace testbed {

namespace {

// The watched keys: the power key, the Run key, the power policy, the stand-in library's switches, the
// fault build's settings, and the battery service's, which the service manager keeps and puts back.
const RegKey* const kScopedKeys[] = {
    &kPowerKey, &kRunKey, &kUserPolicyKey, &kMachinePolicyKey, &kSwitchKey, &kFaultBuildSettingsKey,
    &kBatteryServiceKey,
};
constexpr size_t kScopedKeyCount = sizeof(kScopedKeys) / sizeof(kScopedKeys[0]);

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
    for (size_t i = 0; i < saved.keys.size() && i < kScopedKeyCount; ++i)
        if (kScopedKeys[i] != &kBatteryServiceKey)
            failed += RestoreKey(*kScopedKeys[i], saved.keys[i]);
    return failed;
}

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

RegValue ValueIn(const MachineSnapshot& s, const RegKey& key, const std::string& name)
{
    const size_t i = std::find(kScopedKeys, kScopedKeys + kScopedKeyCount, &key) - kScopedKeys;
    const auto& values = s.keys.at(i).values;
    const auto found = values.find(name);
    return found != values.end() ? found->second : RegValue{};
}

// The policy a snapshot holds; FALSE when a part is missing or of another size.
bool PolicyIn(const MachineSnapshot& s, GLOBAL_POWER_POLICY& policy)
{
    const RegValue user = ValueIn(s, kUserPolicyKey, kPolicyValue);
    const RegValue mach = ValueIn(s, kMachinePolicyKey, kPolicyValue);
    if (user.bytes.size() != sizeof(policy.user) || mach.bytes.size() != sizeof(policy.mach))
        return false;
    std::memcpy(&policy.user, user.bytes.data(), sizeof(policy.user));
    std::memcpy(&policy.mach, mach.bytes.data(), sizeof(policy.mach));
    return true;
}

}  // namespace

Changes ChangesSince(const MachineSnapshot& before)
{
    const MachineSnapshot after = TakeSnapshot();
    Changes changes;
    const auto other = [&changes](const std::string& what) {
        changes.others += (changes.others.empty() ? "" : "; ") + what + " changed";
    };
    if (after.version != before.version)
        other("the version of Sentavio.exe");
    if (after.service.present != before.service.present || after.service.binaryPath != before.service.binaryPath)
        other("the battery service");
    if (after.library != before.library)
        other("the power library");

    GLOBAL_POWER_POLICY policyWas = {}, policyIs = {};
    if (PolicyIn(before, policyWas) && PolicyIn(after, policyIs)) {
        GLOBAL_POWER_POLICY optimum = policyWas;
        SetAlarms(optimum, kOptimumAlarms);
        changes.optimum = std::memcmp(&policyIs, &optimum, sizeof(optimum)) == 0 &&
                          std::memcmp(&policyIs, &policyWas, sizeof(optimum)) != 0;
    }
    for (size_t i = 0; i < kScopedKeyCount; ++i) {
        const RegKey& key = *kScopedKeys[i];
        const MachineSnapshot::Key& b = before.keys.at(i);
        const MachineSnapshot::Key& a = after.keys.at(i);
        if (a.present != b.present)
            other(std::string("key ") + key.path);
        std::map<std::string, RegValue> names = b.values;
        names.insert(a.values.begin(), a.values.end());
        for (const auto& [name, unused] : names) {
            const RegValue was = ValueIn(before, key, name), is = ValueIn(after, key, name);
            if (is == was || (changes.optimum && name == kPolicyValue &&
                              (&key == &kUserPolicyKey || &key == &kMachinePolicyKey)))
                continue;
            if (&key == &kPowerKey && name == kHeuristicsValue && is == HeuristicsWithFlag(was, 1))
                changes.flagSet = true;
            else if (&key == &kRunKey && name == kAutostartValue && !is.present)
                changes.autostartGone = true;
            else
                other("value \"" + name + "\" of " + key.path);
        }
    }
    return changes;
}

int MachineScope::FailedRestores()
{
    return g_failedRestores;
}

// ---- The snapshot in a file, for the tool ----------------------------------

namespace {

// Every text and byte string as "x" and its bytes in hex: one word each, never empty.
std::string Word(const std::string& bytes)
{
    std::string word = "x";
    char hex[3] = {};
    for (unsigned char c : bytes) {
        std::snprintf(hex, sizeof(hex), "%02x", c);
        word += hex;
    }
    return word;
}

bool FromWord(const std::string& word, std::string& bytes)
{
    if (word.empty() || word[0] != 'x' || word.size() % 2 != 1 ||
        word.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
        return false;
    bytes.clear();
    for (size_t i = 1; i < word.size(); i += 2)
        bytes += static_cast<char>(std::strtol(word.substr(i, 2).c_str(), nullptr, 16));
    return true;
}

// One line each: the version, the service, the library, then per key its presence and its values.
bool Save(const MachineSnapshot& s, const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << Word(s.version) << '\n'
        << s.service.present << ' ' << Word(s.service.binaryPath) << '\n'
        << Word(s.library) << '\n';
    for (const MachineSnapshot::Key& key : s.keys) {
        out << key.present << ' ' << key.values.size();
        for (const auto& [name, value] : key.values)
            out << ' ' << Word(name) << ' ' << value.type << ' '
                << Word(std::string(value.bytes.begin(), value.bytes.end()));
        out << '\n';
    }
    return static_cast<bool>(out.flush());
}

bool Load(const std::string& path, MachineSnapshot& s)
{
    std::ifstream in(path, std::ios::binary);
    std::string version, service, library;
    if (!(in >> version >> s.service.present >> service >> library) || !FromWord(version, s.version) ||
        !FromWord(service, s.service.binaryPath) || !FromWord(library, s.library))
        return false;
    s.keys.resize(kScopedKeyCount);
    for (MachineSnapshot::Key& key : s.keys) {
        size_t count = 0;
        if (!(in >> key.present >> count))
            return false;
        for (size_t i = 0; i < count; ++i) {
            std::string name, nameWord, bytesWord, bytes;
            RegValue value;
            if (!(in >> nameWord >> value.type >> bytesWord) || !FromWord(nameWord, name) ||
                !FromWord(bytesWord, bytes))
                return false;
            value.present = true;
            value.bytes.assign(bytes.begin(), bytes.end());
            key.values[name] = value;
        }
    }
    return true;
}

int QualifyCommand(const std::vector<std::string>& args)
{
    return args.empty() ? Outcome(Qualify(), "cannot prepare a machine that qualifies") : 2;
}

// scope save|restore FILE
int ScopeCommand(const std::vector<std::string>& args)
{
    if (args.size() != 2 || (args[0] != "save" && args[0] != "restore"))
        return 2;
    const std::string& file = args[1];
    if (args[0] == "save") {
        if (Save(TakeSnapshot(), file))
            return 0;
        std::fprintf(stderr, "cannot write the snapshot to %s\n", file.c_str());
        return 1;
    }
    MachineSnapshot snapshot;
    if (!Load(file, snapshot)) {
        std::fprintf(stderr, "cannot read a snapshot from %s\n", file.c_str());
        return 1;
    }
    return RestoreSnapshot(snapshot) == 0 ? 0 : 1;
}

// The report's lines come from the other areas.
void NoReport(std::vector<std::string>&) {}

const AreaRegistration registration{
    { "scope",
      { { "scope", "save|restore <file>   (what a test may change, and putting it back)", &ScopeCommand },
        { "qualify", "   (a machine Sentavio.exe prompts on: Windows 2000, the maker's driver, "
                     "the critical alarm at 5 % with no action, Heuristics, the Run value)",
          &QualifyCommand } },
      &NoReport } };

}  // namespace

}  // namespace testbed
