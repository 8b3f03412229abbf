// RestartSystem on Wine's real token, with ExitWindowsEx always replaced:
// the real one would end every process of the session, this test among
// them (the real restart is proven end to end). The failures of the token
// calls come from the stand-ins too, since Wine grants them all.
#include <doctest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "system/RegistryEdits.h"
#include "tests/faults/FaultStandIns.h"
#include "tests/support/Texts.h"

TEST_CASE("RestartSystem enables the shutdown privilege, asks for the restart and reports each failure once")
{
    LUID shutdown = {};
    REQUIRE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &shutdown));
    const LUID none = {};
    char restartFlags[16];
    std::snprintf(restartFlags, sizeof(restartFlags), "%#x", static_cast<unsigned>(EWX_REBOOT | EWX_FORCE));

    struct Case {
        const char* what;
        const char* fails;  // its first call fails with the error; nullptr: none
        DWORD error;
        BOOL result;
        DWORD reported;  // 0: no box
        bool adjusted;
        const LUID* luid;
        bool exited;
    } cases[] = {
        { "restart asked for", nullptr, 0, TRUE, 0, true, &shutdown, true },
        { "token refused", "OpenProcessToken", ERROR_ACCESS_DENIED, FALSE, ERROR_ACCESS_DENIED, false, nullptr, false },
        { "privilege unknown", "LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE, TRUE, 0, true, &none, true },
        { "adjustment refused", "AdjustTokenPrivileges", ERROR_ACCESS_DENIED, FALSE, ERROR_ACCESS_DENIED, true, &shutdown, false },
        { "privilege not held", "AdjustTokenPrivileges", ERROR_NOT_ALL_ASSIGNED, TRUE, 0, true, &shutdown, true },
        { "restart refused", "ExitWindowsEx", ERROR_PRIVILEGE_NOT_HELD, FALSE, ERROR_PRIVILEGE_NOT_HELD, true, &shutdown, true },
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.what));
        auto first = [&c](const char* name) { return c.fails != nullptr && std::strcmp(c.fails, name) == 0 ? 1 : 0; };
        // ExitWindowsEx always: the real one would end the session.
        const faults::CFault token("OpenProcessToken", first("OpenProcessToken"), c.error);
        const faults::CFault lookup("LookupPrivilegeValueA", first("LookupPrivilegeValueA"), c.error);
        const faults::CFault adjust("AdjustTokenPrivileges", first("AdjustTokenPrivileges"), c.error);
        const faults::CFault exit("ExitWindowsEx", first("ExitWindowsEx"), c.error);

        BOOL result = -1;
        const texts::Outcome outcome = texts::Run([&] { result = RestartSystem(EWX_REBOOT | EWX_FORCE); });

        CHECK(result == c.result);
        texts::CheckErrorBox(outcome.boxes, texts::BoxFor(c.reported));
        CHECK(outcome.HandlesClosed());  // the token is closed on every path
        CHECK((adjust.Calls() == 1) == c.adjusted);
        if (c.adjusted) {
            // As the stand-in says it: none disabled, one privilege, this LUID, enabled, no previous state asked for.
            char asked[80];
            std::snprintf(asked, sizeof(asked), "0 1 %lu:%ld %#lx -", c.luid->LowPart, c.luid->HighPart,
                          static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
            CHECK(adjust.Asked() == asked);
        }
        CHECK(exit.Calls() == (c.exited ? 1 : 0));
        if (c.exited)
            CHECK(exit.Asked() == restartFlags);
    }
}
