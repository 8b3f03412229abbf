// What Wine cannot produce, answered by the stand-ins of GetTokenInformation
// and QueryServiceConfigA, which pass the call on to advapi32 unless a case
// sets a script: a token without the Administrators group (every token is a
// copy of its one user's, and a restricted token keeps the group as
// deny-only), a service configuration that fits the 36-byte fixed part or
// lacks a binary path.
#include <doctest.h>

#include "messages/Holders.h"
#include "system/Probes.h"
#include "tests/faults/FaultStandIns.h"
#include "tests/testbed/Machine.h"

#include <optional>
#include <string>
#include <vector>

namespace {

// ---- Token groups ----------------------------------------------------------

struct GroupEntry {
    WELL_KNOWN_SID_TYPE sid;
    DWORD attributes;
};

// What the fake reports for each kind of token; unset: the real groups.
std::optional<std::vector<GroupEntry>> g_primaryGroups, g_impersonationGroups;

BOOL WINAPI FakeGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info,
                                    DWORD length, PDWORD returned)
{
    TOKEN_TYPE type = TokenPrimary;
    DWORD size = 0;
    const bool impersonation =
        GetTokenInformation(token, TokenType, &type, sizeof(type), &size) && type == TokenImpersonation;
    const auto& script = impersonation ? g_impersonationGroups : g_primaryGroups;
    if (infoClass != TokenGroups || !script)
        return GetTokenInformation(token, infoClass, info, length, returned);

    // TOKEN_GROUPS, then the identifiers, laid out as the system does.
    const DWORD count = static_cast<DWORD>(script->size());
    DWORD needed = sizeof(TOKEN_GROUPS) + count * sizeof(SID_AND_ATTRIBUTES) + count * SECURITY_MAX_SID_SIZE;
    *returned = needed;
    if (length < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* groups = static_cast<TOKEN_GROUPS*>(info);
    groups->GroupCount = count;
    BYTE* sids = reinterpret_cast<BYTE*>(&groups->Groups[0]) + count * sizeof(SID_AND_ATTRIBUTES);
    for (DWORD i = 0; i < count; ++i) {
        DWORD sidSize = SECURITY_MAX_SID_SIZE;
        CreateWellKnownSid((*script)[i].sid, nullptr, sids, &sidSize);
        groups->Groups[i].Sid = sids;
        groups->Groups[i].Attributes = (*script)[i].attributes;
        sids += SECURITY_MAX_SID_SIZE;
    }
    return TRUE;
}

// Keeps another thread inside a held call until released: the stand-ins
// pass calls straight on only for the thread that keeps their books, so this
// thread's calls still meet the fake meanwhile.
HANDLE g_inside, g_release;

BOOL WINAPI WaitingQueryServiceConfigA(SC_HANDLE, LPQUERY_SERVICE_CONFIGA, DWORD, LPDWORD)
{
    SetEvent(g_inside);
    return WaitForSingleObject(g_release, INFINITE) == WAIT_OBJECT_0;
}

DWORD WINAPI CallWaiting(LPVOID)
{
    return QueryServiceConfigA(nullptr, nullptr, 0, nullptr);
}

// ---- Service configuration -------------------------------------------------

struct QueryAnswer {
    BOOL ok;
    DWORD error;
    DWORD needed;
    const char* binaryPath;  // what lpBinaryPathName points to on success
};

std::optional<std::vector<QueryAnswer>> g_queryScript;
std::vector<DWORD> g_queryBufferSizes;

BOOL WINAPI FakeQueryServiceConfigA(SC_HANDLE service, LPQUERY_SERVICE_CONFIGA config, DWORD size,
                                    LPDWORD needed)
{
    if (!g_queryScript)
        return QueryServiceConfigA(service, config, size, needed);
    const size_t call = g_queryBufferSizes.size();
    g_queryBufferSizes.push_back(size);
    if (call >= g_queryScript->size()) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    const QueryAnswer& answer = (*g_queryScript)[call];
    if (!answer.ok) {
        *needed = answer.needed;
        SetLastError(answer.error);
        return FALSE;
    }
    ZeroMemory(config, sizeof(*config));
    config->lpBinaryPathName = const_cast<LPSTR>(answer.binaryPath);
    return TRUE;
}

}  // namespace

TEST_CASE("IsAdministrator on tokens Wine cannot make")
{
    const faults::CFault fake("GetTokenInformation", &FakeGetTokenInformation);
    const faults::CFault waiting("QueryServiceConfigA", &WaitingQueryServiceConfigA);
    const CHandleHolder inside(g_inside = CreateEventA(nullptr, FALSE, FALSE, nullptr));
    const CHandleHolder release(g_release = CreateEventA(nullptr, FALSE, FALSE, nullptr));
    const std::vector<GroupEntry> plainUser = { { WinWorldSid, SE_GROUP_ENABLED },
                                                { WinBuiltinUsersSid, SE_GROUP_ENABLED } };
    const std::vector<GroupEntry> adminsNoAttributes = { { WinWorldSid, SE_GROUP_ENABLED },
                                                         { WinBuiltinAdministratorsSid, 0 } };
    struct Case {
        std::string machine;
        std::optional<std::vector<GroupEntry>> primary;
        std::optional<std::vector<GroupEntry>> impersonation;  // set: the thread impersonates
        BOOL expected;
        bool beside = false;  // another thread is inside a held call meanwhile
    } cases[] = {
        { "a user without Administrators", plainUser, std::nullopt, FALSE },
        { "a user without Administrators, another thread inside a held call", plainUser, std::nullopt, FALSE, true },
        { "a token without any group", std::vector<GroupEntry>{}, std::nullopt, FALSE },
        { "Administrators with no attribute bits", adminsNoAttributes, std::nullopt, TRUE },
        { "an administrator's thread impersonating a plain user", std::nullopt, plainUser, FALSE },
        { "a plain user's thread impersonating an administrator", plainUser, adminsNoAttributes, TRUE },
    };
    for (const Case& c : cases) {
        CAPTURE(c.machine);
        g_primaryGroups = c.primary;
        g_impersonationGroups = c.impersonation;
        if (c.impersonation)
            REQUIRE(ImpersonateSelf(SecurityImpersonation));
        const CHandleHolder beside(c.beside ? CreateThread(nullptr, 0, CallWaiting, nullptr, 0, nullptr) : nullptr);
        REQUIRE((!c.beside || WaitForSingleObject(g_inside, 10000) == WAIT_OBJECT_0));
        CHECK(IsAdministrator() == c.expected);
        if (beside) {
            SetEvent(g_release);
            WaitForSingleObject(beside.Get(), 10000);
        }
        RevertToSelf();  // harmless when the thread does not impersonate
        g_primaryGroups.reset();
        g_impersonationGroups.reset();
    }
}

TEST_CASE("UsesDriverFile on configurations Wine cannot produce")
{
    // A real service, so the manager and the service open for real.
    const char* service = "sentavio_seam";
    REQUIRE(testbed::SetService(service, testbed::kStockDriverPath) == 0);
    const faults::CFault fake("QueryServiceConfigA", &FakeQueryServiceConfigA);

    const DWORD fixedPart = sizeof(QUERY_SERVICE_CONFIGA);
    const QueryAnswer bigger = { FALSE, ERROR_INSUFFICIENT_BUFFER, 500, nullptr };
    struct Case {
        std::string configuration;
        std::vector<QueryAnswer> answers;
        BOOL expected;
        std::vector<DWORD> bufferSizes;  // what each query was given
    } cases[] = {
        { "the first query succeeds: its path is used",
          { { TRUE, 0, 0, "system32\\DRIVERS\\DIVURUVA.dor" } }, TRUE, { fixedPart } },
        { "the first query succeeds without a binary path",
          { { TRUE, 0, 0, nullptr } }, FALSE, { fixedPart } },
        { "the second query, with the size the first reported, is used",
          { bigger, { TRUE, 0, 0, "system32\\DRIVERS\\DIVURUVA.dor" } }, TRUE, { fixedPart, 500 } },
        { "the second query succeeds without a binary path",
          { bigger, { TRUE, 0, 0, nullptr } }, FALSE, { fixedPart, 500 } },
        { "the second query fails",
          { bigger, { FALSE, ERROR_INSUFFICIENT_BUFFER, 600, nullptr } }, FALSE, { fixedPart, 500 } },
        { "the first query fails reporting no more than the fixed part",
          { { FALSE, ERROR_INSUFFICIENT_BUFFER, fixedPart, nullptr } }, FALSE, { fixedPart } },
        { "the first query fails reporting no size",
          { { FALSE, ERROR_ACCESS_DENIED, 0, nullptr } }, FALSE, { fixedPart } },
    };
    for (const Case& c : cases) {
        CAPTURE(c.configuration);
        g_queryScript = c.answers;
        g_queryBufferSizes.clear();
        CServiceQuery query;
        BOOL answer = query.UsesDriverFile(service, "DIVURUVA.dor");
        g_queryScript.reset();
        CHECK(answer == c.expected);
        CHECK(g_queryBufferSizes == c.bufferSizes);
        // Deleting waits for every handle to the service to be closed.
        REQUIRE(testbed::RemoveService(service) == 0);
        REQUIRE(testbed::SetService(service, testbed::kStockDriverPath) == 0);
    }
    CHECK(testbed::RemoveService(service) == 0);
}
