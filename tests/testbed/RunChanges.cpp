#include "RunChanges.h"

#include "PowerMachine.h"
#include "RegistryMachine.h"

#include <cstring>

namespace testbed {

namespace {

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
    for (size_t i = 0; i < kScopedKeys.size(); ++i) {
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
                              (key == kUserPolicyKey || key == kMachinePolicyKey)))
                continue;
            if (key == kPowerKey && name == kHeuristicsValue && is == HeuristicsWithFlag(was, 1))
                changes.flagSet = true;
            else if (key == kRunKey && name == kAutostartValue && !is.present)
                changes.autostartGone = true;
            else
                other("value \"" + name + "\" of " + key.path);
        }
    }
    return changes;
}

}  // namespace testbed
