// The stand-in power library: the three entry points Sentavio.exe uses,
// with the platform's signatures, over the registry values where Windows
// 2000 keeps the global power policy. Unlike Wine's own copy it reads back
// what was written, and the test bed can make each call answer as a real
// machine might (the switches of tests/testbed/Keys.h).
#include <windows.h>

#include <powrprof.h>

#include "tests/testbed/Registry.h"

using namespace testbed;

namespace {

// What the planted variant answers for hibernation: neither "allowed" nor
// "not allowed", so a program that loaded it cannot pass for one that did not.
constexpr DWORD kPlantedHibernateAnswer = 0x5A;

// The call's outcome, also as the thread's last error.
bool Succeeded(LONG status)
{
    SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

}  // namespace

// Exported as IsPwrHibernateAllowed. The platform declares a BOOLEAN; this
// one hands back all 32 bits of the switch, so a caller that looks past the
// low byte is caught.
extern "C" DWORD WINAPI HibernateAnswer()
{
#ifdef STANDIN_PLANTED
    return kPlantedHibernateAnswer;
#else
    return ReadDword(kSwitchKey, kHibernateAnswerValue, 1);
#endif
}

// Each part must be there, binary, and of exactly its size.
BOOLEAN WINAPI ReadGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy)
{
    if (ReadDword(kSwitchKey, kRefuseReadValue, 0) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    GLOBAL_POWER_POLICY stored = {};
    if (!Succeeded(ReadBinary(kUserPolicyKey, kPolicyValue, &stored.user, sizeof(stored.user))) ||
        !Succeeded(ReadBinary(kMachinePolicyKey, kPolicyValue, &stored.mach, sizeof(stored.mach))))
        return FALSE;
    *policy = stored;
    return TRUE;
}

BOOLEAN WINAPI WriteGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy)
{
    if (ReadDword(kSwitchKey, kRefuseWriteValue, 0) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return Succeeded(WriteValue(kUserPolicyKey, kPolicyValue, REG_BINARY, &policy->user, sizeof(policy->user))) &&
           Succeeded(WriteValue(kMachinePolicyKey, kPolicyValue, REG_BINARY, &policy->mach, sizeof(policy->mach)));
}
