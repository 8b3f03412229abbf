// The probes on Wine's real version setting, access token and service manager.
#include <doctest.h>

#include "messages/Holders.h"
#include "system/Probes.h"
#include "tests/support/Handles.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/Process.h"

#include <sddl.h>

#include <functional>
#include <string>

namespace {

// Runs a console program and returns what it printed.
std::string Output(const std::string& commandLine)
{
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), nullptr, TRUE };
    CHandleHolder readEnd, writeEnd;
    if (!CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0))
        return "pipe refused";
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    process::Child child;
    if (!child.Start(commandLine, 0, writeEnd.Get()))
        return "start refused";
    // Its copy is the program's now: the pipe ends when the program does.
    writeEnd.Reset();

    std::string output;
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(readEnd.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        output.append(buffer, read);
    // Text mode ends lines with CR LF.
    std::erase(output, '\r');
    child.Wait(10000);
    return output;
}

CSidHolder AdministratorsSid()
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    CSidHolder sid;
    AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                             0, 0, 0, 0, sid.Put());
    return sid;
}

// An impersonation token made from the process token.
CHandleHolder ImpersonationToken(SECURITY_IMPERSONATION_LEVEL level, bool adminsDenyOnly = false)
{
    CHandleHolder source;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, source.Put());
    if (adminsDenyOnly) {
        CSidHolder admins = AdministratorsSid();
        SID_AND_ATTRIBUTES disable = { admins.Get(), 0 };
        CHandleHolder restricted;
        CreateRestrictedToken(source.Get(), 0, 1, &disable, 0, nullptr, 0, nullptr, restricted.Put());
        source = std::move(restricted);
    }
    CHandleHolder token;
    DuplicateTokenEx(source.Get(), TOKEN_ALL_ACCESS, nullptr, level, TokenImpersonation, token.Put());
    return token;
}

DWORD AdminsAttributes(HANDLE token)
{
    BYTE buffer[4096];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenGroups, buffer, sizeof(buffer), &size))
        return 0;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);
    CSidHolder admins = AdministratorsSid();
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (EqualSid(groups->Groups[i].Sid, admins.Get()))
            return groups->Groups[i].Attributes;
    return 0;
}

}  // namespace

TEST_CASE("the version record under each Wine version setting")
{
    // Wine keys the setting on the program's file name, so the helper gets
    // it and this test program keeps its own.
    const char* probe = "version_probe.exe";
    struct Case {
        std::string setting;
        const char* expected;  // platform major minor size win32s winnt win9x
    } cases[] = {
        { "win2k", "2 5 0 148 0 1 0" },
        { "winxp", "2 5 1 148 0 1 0" },
        { "nt40", "2 4 0 148 0 1 0" },
        { "win7", "2 6 1 148 0 1 0" },
        { "win98", "1 4 10 148 0 0 1" },
        { "win95", "1 4 0 148 0 0 1" },
    };
    for (const Case& c : cases) {
        CAPTURE(c.setting);
        REQUIRE(testbed::SetProgramVersion(c.setting, probe) == ERROR_SUCCESS);
        CHECK(Output(process::DosPath(VERSION_PROBE_EXE)) == std::string(c.expected) + "\n");
    }
    CHECK(testbed::SetProgramVersion("", probe) == ERROR_SUCCESS);
}

TEST_CASE("IsAdministrator judges the calling thread's own token and closes it")
{
    // Wine gives every process one token for its single user, and that
    // token lists Administrators (S-1-5-32-544) as an enabled, mandatory
    // owner group. No token without the group can be made on Wine: that
    // case is answered by GetTokenInformation's stand-in (probes_seam_test).
    CHandleHolder processToken;
    REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, processToken.Put()));
    REQUIRE(AdminsAttributes(processToken.Get()) ==
            (SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED | SE_GROUP_OWNER));

    struct Case {
        std::string thread;
        std::function<CHandleHolder()> token;  // none: no impersonation
        BOOL expected;
    } cases[] = {
        { "does not impersonate: the process token", nullptr, TRUE },
        { "impersonates a copy of the process token",
          [] { return ImpersonationToken(SecurityImpersonation); }, TRUE },
        { "impersonates a token where Administrators is only a deny-only group",
          [] { return ImpersonationToken(SecurityImpersonation, true); }, TRUE },
        // The process token would say TRUE; the thread's refusals must not
        // send the probe there.
        { "impersonates at anonymous level, so its token cannot be opened",
          [] { return ImpersonationToken(SecurityAnonymous); }, FALSE },
        { "impersonates a token whose security denies everyone",
          [] {
              CHandleHolder token = ImpersonationToken(SecurityImpersonation);
              CLocalHolder<PSECURITY_DESCRIPTOR> denyAll;
              ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;GA;;;WD)", SDDL_REVISION_1,
                                                                   denyAll.Put(), nullptr);
              SetKernelObjectSecurity(token.Get(), DACL_SECURITY_INFORMATION, denyAll.Get());
              return token;
          },
          FALSE },
    };
    for (const Case& c : cases) {
        CAPTURE(c.thread);
        const CHandleHolder token = c.token ? c.token() : CHandleHolder();
        REQUIRE((!c.token || token));
        const handles::CWatch watch;
        if (token)
            REQUIRE(SetThreadToken(nullptr, token.Get()));
        BOOL answer = IsAdministrator();
        RevertToSelf();
        CHECK(answer == c.expected);
        CHECK(watch.Unchanged());
    }
}

TEST_CASE("UsesDriverFile reads the service's binary path from the service manager")
{
    const char* service = testbed::kBatteryService;
    struct Case {
        std::string machine;
        std::string binaryPath;  // empty: the service does not exist
        BOOL expected;
    } cases[] = {
        { "the maker's driver", testbed::kMakersDriverPath, TRUE },
        { "the stock driver", testbed::kStockDriverPath, FALSE },
        { "the maker's path in lower case", testbed::kLowerCaseMakersPath, FALSE },
        { "the maker's name only at the end of several kilobytes", testbed::LongDriverPath(), TRUE },
        { "no such service", "", FALSE },
    };
    for (const Case& c : cases) {
        CAPTURE(c.machine);
        if (c.binaryPath.empty()) {
            REQUIRE(testbed::RemoveService(service) == 0);
        } else {
            REQUIRE(testbed::SetService(service, c.binaryPath) == 0);
            REQUIRE(testbed::QueryService(service).binaryPath == c.binaryPath);
        }
        CServiceQuery query;
        CHECK(query.UsesDriverFile(service, "DIVURUVA.dor") == c.expected);
        // The manager drops a deleted service only once no handle to it is
        // open, so this also shows the probe closed its handles.
        CHECK(testbed::RemoveService(service) == 0);
    }
}
