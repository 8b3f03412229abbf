// The stand-in power library: the three entry points Sentavio.exe uses,
// with the platform's signatures, over the registry values where Windows
// 2000 keeps the global power policy. Unlike Wine's own copy it reads back
// what was written, and the test bed sets what it answers for hibernation
// (a switch of tests/testbed/Keys.h). A refused read or write is the fault
// stand-ins' (tests/faults/FaultCalls.h), as every failing call is.
#include "tests/testbed/PowerMachine.h"
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

BOOLEAN WINAPI ReadGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy)
{
    return Succeeded(LoadPowerPolicy(*policy));
}

BOOLEAN WINAPI WriteGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy)
{
    return Succeeded(StorePowerPolicy(*policy));
}
