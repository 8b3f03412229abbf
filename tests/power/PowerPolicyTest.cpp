// Power policy access on Wine, through the power library that the prefix's
// system directory really holds: our stand-in and its variants (installed by
// each test case through the test bed), or Wine's own. The robot reads and
// dismisses every box the program shows; every operation on our library,
// its variants or none leaves the process's handles as it found them.
#include <doctest.h>

#include <cstring>
#include <optional>

#include "messages/Holders.h"
#include "res/resource.h"
#include "system/PowerPolicy.h"
#include "tests/faults/FaultStandIns.h"
#include "tests/testbed/Holders.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/support/Texts.h"

using texts::SystemText;

using testbed::PowerLibrary;

namespace {

void PrepareMachine()
{
    REQUIRE(testbed::PreparePowerMachine(testbed::kCriticalAtFiveNoAction) == 0);
}

GLOBAL_POWER_POLICY StoredPolicy()
{
    GLOBAL_POWER_POLICY policy = {};
    REQUIRE(testbed::LoadPowerPolicy(policy) == ERROR_SUCCESS);
    return policy;
}

bool SamePolicy(const GLOBAL_POWER_POLICY& a, const GLOBAL_POWER_POLICY& b)
{
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

enum class Operation { Hibernate, Read, Write };

const int kAllowed = static_cast<int>(HibernateState::Allowed);
const int kFailed = static_cast<int>(HibernateState::Failed);

}  // namespace

TEST_CASE("every operation answers as its row expects, shows the right box and changes only what it writes")
{
    const std::string noLibrary = SystemText(ERROR_MOD_NOT_FOUND);
    const std::string noEntry = SystemText(ERROR_PROC_NOT_FOUND);
    const std::string refused = texts::Text(IDS_REGISTRY_ERROR);
    REQUIRE_FALSE(noLibrary.empty());
    REQUIRE_FALSE(noEntry.empty());
    using enum Operation;
    struct Case {
        const char* name;
        PowerLibrary library;
        const char* fails;  // its first call refused (ERROR_ACCESS_DENIED); nullptr: none
        Operation operation;
        int expected;
        std::string box;  // empty: none
        bool written = false;  // the policy holds the optimum alarms afterwards
    } cases[] = {
        { "stand-in: hibernation", PowerLibrary::StandIn, nullptr, Hibernate, kAllowed, "" },
        { "stand-in: read", PowerLibrary::StandIn, nullptr, Read, TRUE, "" },
        { "stand-in: write", PowerLibrary::StandIn, nullptr, Write, TRUE, "", true },
        { "no library: hibernation", PowerLibrary::Missing, nullptr, Hibernate, kFailed, noLibrary },
        { "no library: read", PowerLibrary::Missing, nullptr, Read, FALSE, noLibrary },
        { "no library: write", PowerLibrary::Missing, nullptr, Write, FALSE, noLibrary },
        { "no hibernation entry", PowerLibrary::NoHibernateEntry, nullptr, Hibernate, kFailed, noEntry },
        { "no read entry: read", PowerLibrary::NoReadEntry, nullptr, Read, FALSE, noEntry },
        { "no read entry: write", PowerLibrary::NoReadEntry, nullptr, Write, FALSE, noEntry },
        { "no write entry: write", PowerLibrary::NoWriteEntry, nullptr, Write, FALSE, noEntry },
        { "refused read: read", PowerLibrary::StandIn, "ReadGlobalPwrPolicy", Read, FALSE, refused },
        { "refused read: write writes nothing", PowerLibrary::StandIn, "ReadGlobalPwrPolicy", Write, FALSE, refused },
        { "refused write: write", PowerLibrary::StandIn, "WriteGlobalPwrPolicy", Write, FALSE, refused },
        { "refused write: a read still succeeds", PowerLibrary::StandIn, "WriteGlobalPwrPolicy", Read, TRUE, "" },
        // Stock Wine: its own library answers that hibernation is allowed,
        // refuses every read of the global policy (error 2) and every write
        // (error 120). So the program shows string 7 where it reads, and a
        // write stops at the refused read.
        { "Wine's own: hibernation", PowerLibrary::WineOwn, nullptr, Hibernate, kAllowed, "" },
        { "Wine's own: read", PowerLibrary::WineOwn, nullptr, Read, FALSE, refused },
        { "Wine's own: write", PowerLibrary::WineOwn, nullptr, Write, FALSE, refused },
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        PrepareMachine();
        GLOBAL_POWER_POLICY expected = StoredPolicy();
        if (c.written)
            testbed::SetAlarms(expected, testbed::kOptimumAlarms);
        REQUIRE(testbed::SetPowerLibrary(c.library) == 0);
        std::optional<faults::CFault> fault;
        if (c.fails != nullptr)
            fault.emplace(c.fails, 1, ERROR_ACCESS_DENIED);

        int answer = -1;  // a HibernateState or a BOOL
        DischargeSettings read = {};
        const texts::Outcome outcome = texts::Run([&] {
            if (c.operation == Hibernate)
                answer = static_cast<int>(IsHibernateAllowed());
            else if (c.operation == Read)
                answer = ReadDischargeSettings(read);
            else
                answer = WriteDischargeSettings(testbed::Settings(testbed::kOptimumAlarms));
        });
        fault.reset();

        CHECK(answer == c.expected);
        texts::CheckErrorBox(outcome.boxes, c.box);
        // Wine's own library keeps a handle from its first load on.
        if (c.library != PowerLibrary::WineOwn)
            CHECK(outcome.handlesKept);
        CHECK(outcome.invalidCloses == 0);
        CHECK(SamePolicy(StoredPolicy(), expected));
    }
    PrepareMachine();
}

TEST_CASE("only the low byte of the hibernation answer counts")
{
    struct Case {
        DWORD answer;
        HibernateState expected;
    } cases[] = {
        { 0, HibernateState::NotAllowed },
        { 1, HibernateState::Allowed },
        { 2, HibernateState::Failed },
        { 0xFF, HibernateState::Failed },
        { 0x100, HibernateState::NotAllowed },
        { 0xFFFFFF01, HibernateState::Allowed },
    };
    PrepareMachine();
    for (const Case& c : cases) {
        CAPTURE(c.answer);
        REQUIRE(testbed::SetHibernateAnswer(c.answer) == ERROR_SUCCESS);
        HibernateState state = HibernateState::Failed;
        CHECK(texts::Run([&] { state = IsHibernateAllowed(); }).boxes.empty());
        CHECK(state == c.expected);  // another answer fails without a word
    }
    PrepareMachine();
}

TEST_CASE("the optimum is written over the stored policy with every other byte kept")
{
    PrepareMachine();
    DischargeSettings read = {};
    CHECK(texts::Run([&] {
              CHECK(ReadDischargeSettings(read));
              CHECK(WriteDischargeSettings(testbed::Settings(testbed::kOptimumAlarms)));
          }).boxes.empty());
    CHECK(testbed::Words(read, " ") == "1 1 5 0 0");  // PowerActionNone is 0
    CHECK(SamePolicy(StoredPolicy(), testbed::LaptopPolicy(testbed::kOptimumAlarms)));
}

// The program runs as an administrator at every logon: a library planted
// beside it or in its current directory must never be loaded. The planted
// copy answers neither "allowed" nor "not allowed". Wine searches the system
// directory before the current one, so there a plant in the current
// directory is found by name only when the system directory has none.
TEST_CASE("a powrprof.dll beside the program or in the current directory is not loaded")
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string besideProgram = std::string(self).substr(0, std::string(self).find_last_of('\\'));
    const std::string workDir = std::string(temp) + "sentavio-planted";
    const std::string missingLibrary = SystemText(ERROR_MOD_NOT_FOUND);
    char previousDir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previousDir);

    struct Case {
        std::string dir;
        PowerLibrary library;
        bool searchFindsPlant;
        HibernateState expected;
        std::string box;
    } cases[] = {
        { besideProgram, PowerLibrary::StandIn, true, HibernateState::Allowed, "" },
        { workDir, PowerLibrary::StandIn, false, HibernateState::Allowed, "" },
        { besideProgram, PowerLibrary::Missing, true, HibernateState::Failed, missingLibrary },
        { workDir, PowerLibrary::Missing, true, HibernateState::Failed, missingLibrary },
    };
    for (const Case& c : cases) {
        CAPTURE(c.dir);
        CAPTURE(std::string(testbed::PowerLibraryName(c.library)));
        PrepareMachine();
        REQUIRE(testbed::SetPowerLibrary(c.library) == 0);
        CreateDirectoryA(workDir.c_str(), nullptr);
        const CUndo back([&] { SetCurrentDirectoryA(previousDir); });
        REQUIRE(SetCurrentDirectoryA(workDir.c_str()));
        const std::string plant = c.dir + "\\powrprof.dll";
        const CUndo unplant([&] { DeleteFileA(plant.c_str()); });
        REQUIRE(CopyFileA(testbed::PlantedPowerLibraryFile().c_str(), plant.c_str(), FALSE));
        // The plant is where a careless search by name would take it; the library goes again at once.
        char found[MAX_PATH] = {};
        if (const CLibraryHolder module(LoadLibraryA("powrprof.dll")); module)
            GetModuleFileNameA(module.Get(), found, MAX_PATH);
        CHECK((lstrcmpiA(found, plant.c_str()) == 0) == c.searchFindsPlant);

        HibernateState state = HibernateState::Allowed;
        texts::CheckErrorBox(texts::Run([&] { state = IsHibernateAllowed(); }).boxes, c.box);
        CHECK(state == c.expected);
    }
    RemoveDirectoryA(workDir.c_str());
    PrepareMachine();
}
