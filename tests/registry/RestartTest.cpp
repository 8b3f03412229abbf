// RestartSystem on Wine's real token, with ExitWindowsEx always replaced:
// the real one would end every process of the session, this test among
// them (the real restart is proven end to end). The failures of the token
// calls come from the stand-ins too, since Wine grants them all.
#include <doctest.h>

#include <string>

#include "system/RegistryEdits.h"
#include "tests/support/Texts.h"
#include "tests/registry/SystemSeam.h"

namespace {

bool SameLuid(const LUID& a, const LUID& b)
{
    return a.LowPart == b.LowPart && a.HighPart == b.HighPart;
}

}  // namespace

TEST_CASE("RestartSystem enables the shutdown privilege, asks for the restart and reports each failure once")
{
    LUID shutdown = {};
    REQUIRE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &shutdown));
    const LUID none = {};

    struct Case {
        const char* what;
        seam::Failures failures;
        BOOL result;
        DWORD reported;  // 0: no box
        bool adjusted;
        const LUID* luid;
        bool exited;
    } cases[] = {
        { "restart asked for", {}, TRUE, 0, true, &shutdown, true },
        { "token refused", { .openToken = ERROR_ACCESS_DENIED }, FALSE, ERROR_ACCESS_DENIED, false, nullptr, false },
        { "privilege unknown", { .lookup = ERROR_NO_SUCH_PRIVILEGE }, TRUE, 0, true, &none, true },
        { "adjustment refused", { .adjust = ERROR_INVALID_HANDLE }, FALSE, ERROR_INVALID_HANDLE, true, &shutdown, false },
        { "privilege not held", { .adjustPartly = ERROR_NOT_ALL_ASSIGNED }, TRUE, 0, true, &shutdown, true },
        { "restart refused", { .exitWindows = ERROR_PRIVILEGE_NOT_HELD }, FALSE, ERROR_PRIVILEGE_NOT_HELD, true, &shutdown, true },
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.what));
        seam::Arm(c.failures);

        BOOL result = -1;
        const texts::Outcome outcome = texts::Run([&] { result = RestartSystem(EWX_REBOOT | EWX_FORCE); });
        const seam::Calls seen = seam::Seen();
        seam::Arm({});

        CHECK(result == c.result);
        texts::CheckErrorBox(outcome.boxes, texts::BoxFor(c.reported));
        CHECK(outcome.HandlesClosed());  // the token is closed on every path
        CHECK((seen.adjust == 1) == c.adjusted);
        if (c.adjusted) {
            CHECK(seen.disableAll == FALSE);
            CHECK_FALSE(seen.askedPreviousState);
            CHECK(seen.privileges.PrivilegeCount == 1);
            CHECK(seen.privileges.Privileges[0].Attributes == SE_PRIVILEGE_ENABLED);
            CHECK(SameLuid(seen.privileges.Privileges[0].Luid, *c.luid));
        }
        CHECK(seen.exitWindows == (c.exited ? 1 : 0));
        if (c.exited)
            CHECK(seen.exitFlags == static_cast<UINT>(EWX_REBOOT | EWX_FORCE));
    }
}
