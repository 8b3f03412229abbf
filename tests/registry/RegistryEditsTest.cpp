// The registry edits against Wine's real registry: the Heuristics value in
// every size and type, the autostart value, and the key holder. Failures
// that Wine cannot produce (a refused read or write of an existing value)
// come from the fault stand-ins; every other row is real.
#include <doctest.h>

#include "system/RegistryEdits.h"
#include "tests/faults/FaultStandIns.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/RegistryMachine.h"
#include "tests/support/Handles.h"
#include "tests/support/Texts.h"

using testbed::RegValue;

namespace {

// The power key as a Windows 2000 machine has it, with the bystanders.
void PreparePowerKey(const RegValue& heuristics)
{
    REQUIRE(testbed::WriteBystanders() == 0);
    REQUIRE(testbed::WriteValue(testbed::kPowerKey, testbed::kHeuristicsValue, heuristics) == 0);
}

}  // namespace

TEST_CASE("SetHeuristicsFlag writes the flag and keeps every other stored byte")
{
    struct Case {
        DWORD type;  // REG_NONE: no value stored
        DWORD size;
        BOOL enable;
    } cases[] = {
        { REG_NONE, 0, TRUE },    { REG_NONE, 0, FALSE },
        { REG_BINARY, 0, TRUE },  { REG_BINARY, 1, TRUE },  { REG_BINARY, 19, TRUE },
        { REG_BINARY, 20, TRUE }, { REG_BINARY, 20, FALSE }, { REG_BINARY, 21, TRUE },
        { REG_BINARY, 64, FALSE }, { REG_BINARY, 4096, TRUE },
        { REG_SZ, 1, TRUE },      { REG_SZ, 19, TRUE },     { REG_SZ, 20, TRUE },
        { REG_SZ, 21, TRUE },     { REG_SZ, 64, TRUE },     { REG_SZ, 4096, FALSE },
        { REG_DWORD, 0, TRUE },   { REG_DWORD, 4, TRUE },   { REG_DWORD, 20, TRUE },
        { REG_DWORD, 21, FALSE }, { REG_DWORD, 64, TRUE },  { REG_DWORD, 4096, TRUE },
    };
    for (const Case& c : cases) {
        CAPTURE(testbed::TypeName(c.type));
        CAPTURE(c.size);
        CAPTURE(c.enable);
        RegValue stored;
        if (c.type != REG_NONE)
            stored = RegValue{ true, c.type, testbed::ValueBytes(c.type, c.size) };
        PreparePowerKey(stored);
        // Every value as it was but Heuristics, which holds the flag.
        auto expected = testbed::ReadAllValues(testbed::kPowerKey);
        expected[testbed::kHeuristicsValue] = testbed::HeuristicsWithFlag(stored, c.enable ? 1 : 0);

        BOOL result = -1;
        const texts::Outcome outcome = texts::Run([&] { result = SetHeuristicsFlag(c.enable); });

        CHECK(result == TRUE);
        CHECK(outcome.boxes.empty());
        CHECK(outcome.HandlesClosed());
        CHECK(testbed::ReadAllValues(testbed::kPowerKey) == expected);
    }
}

TEST_CASE("SetHeuristicsFlag reports a failure once and writes nothing")
{
    const RegValue stored{ true, REG_BINARY, testbed::Pattern(64) };
    struct Case {
        const char* what;
        bool powerKey;
        const char* fails;  // its call-th call fails with the code (0: none)
        int call;
        DWORD code;
    } cases[] = {
        { "power key missing", false, "RegQueryValueExA", 0, ERROR_FILE_NOT_FOUND },
        // Only the stand-ins make an existing value unreadable or unwritable.
        { "size of the value refused", true, "RegQueryValueExA", 1, ERROR_ACCESS_DENIED },
        { "value grew while read", true, "RegQueryValueExA", 2, ERROR_MORE_DATA },
        { "read refused", true, "RegQueryValueExA", 2, ERROR_REGISTRY_IO_FAILED },
        { "write refused", true, "RegSetValueExA", 1, ERROR_ACCESS_DENIED },
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.what));
        PreparePowerKey(stored);
        if (!c.powerKey)
            REQUIRE(testbed::DeleteKey(testbed::kPowerKey) == ERROR_SUCCESS);
        const auto before = testbed::ReadAllValues(testbed::kPowerKey);

        BOOL result = -1;
        texts::Outcome outcome;
        {
            const faults::CFault fault(c.fails, c.call, c.call > 0 ? c.code : 0);
            outcome = texts::Run([&] { result = SetHeuristicsFlag(TRUE); });
        }

        CHECK(result == FALSE);
        texts::CheckErrorBox(outcome.boxes, texts::BoxFor(c.code));
        CHECK(outcome.HandlesClosed());
        CHECK(testbed::ReadAllValues(testbed::kPowerKey) == before);
        CHECK(testbed::KeyExists(testbed::kPowerKey) == c.powerKey);
    }
    REQUIRE(testbed::CreateKey(testbed::kPowerKey) == ERROR_SUCCESS);
}

TEST_CASE("RemoveAutostartEntry deletes only the program's own value")
{
    struct Case {
        const char* what;
        bool present;
        bool runKey;
        BOOL result;
        DWORD reported;  // 0: no box
    } cases[] = {
        { "value present", true, true, TRUE, 0 },
        { "value already gone", false, true, FALSE, ERROR_FILE_NOT_FOUND },
        { "no Run key", false, false, FALSE, ERROR_FILE_NOT_FOUND },
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.what));
        REQUIRE(testbed::WriteBystanders() == 0);
        REQUIRE((c.present ? testbed::WriteString(testbed::kRunKey, testbed::kAutostartValue, "Sentavio.exe")
                           : testbed::DeleteValue(testbed::kRunKey, testbed::kAutostartValue)) == 0);
        auto expected = testbed::ReadAllValues(testbed::kRunKey);
        expected.erase(testbed::kAutostartValue);
        if (!c.runKey) {
            REQUIRE(testbed::DeleteValue(testbed::kRunKey, testbed::kRunBystander) == 0);
            REQUIRE(testbed::DeleteKey(testbed::kRunKey) == ERROR_SUCCESS);
            expected.clear();
        }

        BOOL result = -1;
        const texts::Outcome outcome = texts::Run([&] { result = RemoveAutostartEntry(); });

        CHECK(result == c.result);
        texts::CheckErrorBox(outcome.boxes, texts::BoxFor(c.reported));
        CHECK(outcome.HandlesClosed());
        CHECK(testbed::ReadAllValues(testbed::kRunKey) == expected);
        REQUIRE(testbed::CreateKey(testbed::kRunKey) == 0);
    }
    REQUIRE(testbed::DeleteValue(testbed::kRunKey, testbed::kRunBystander) == 0);
}

TEST_CASE("CRegKeyHolder owns one key at a time")
{
    REQUIRE(testbed::WriteValue(testbed::kPowerKey, "Probe", RegValue{ true, REG_BINARY, { 1, 2, 3 } }) == 0);
    const char* const kMissing = testbed::kMissingKey.path;
    // Which key a holder holds, by what it answers for Probe: the power key
    // has it, the Run key lacks it, no key is an invalid handle.
    BYTE data[8] = {};
    DWORD size = 0;
    auto probe = [&](CRegKeyHolder& holder) {
        size = sizeof(data);
        return holder.Query("Probe", data, &size);
    };
    const handles::CWatch watch;  // open keys are handles: how many each step holds

    {
        CRegKeyHolder key;
        CHECK(key.Open(HKEY_LOCAL_MACHINE, kMissing) == ERROR_FILE_NOT_FOUND);
        CHECK(probe(key) == ERROR_INVALID_HANDLE);
        CHECK(watch.Added() == 0);

        REQUIRE(key.Open(HKEY_LOCAL_MACHINE, testbed::kPowerKey.path) == ERROR_SUCCESS);
        CHECK(watch.Added() == 1);
        // A failed open keeps the key held before.
        CHECK(key.Open(HKEY_LOCAL_MACHINE, kMissing) == ERROR_FILE_NOT_FOUND);
        CHECK(watch.Added() == 1);
        CHECK(probe(key) == ERROR_SUCCESS);
        CHECK(size == 3);
        size = 0;
        CHECK(key.Query("Probe", nullptr, &size) == ERROR_SUCCESS);
        CHECK(size == 3);

        // A successful open closes the old key and holds the new one.
        REQUIRE(key.Open(HKEY_LOCAL_MACHINE, testbed::kRunKey.path) == ERROR_SUCCESS);
        CHECK(watch.Added() == 1);
        CHECK(probe(key) == ERROR_FILE_NOT_FOUND);

        CRegKeyHolder moved(std::move(key));
        CHECK(probe(key) == ERROR_INVALID_HANDLE);
        CHECK(probe(moved) == ERROR_FILE_NOT_FOUND);
        CRegKeyHolder target;
        REQUIRE(target.Open(HKEY_LOCAL_MACHINE, testbed::kPowerKey.path) == ERROR_SUCCESS);
        CHECK(watch.Added() == 2);
        target = std::move(moved);  // closes the key it held
        CHECK(watch.Added() == 1);
        CHECK(probe(target) == ERROR_FILE_NOT_FOUND);
        CHECK(target.DeleteValue("No such value") == ERROR_FILE_NOT_FOUND);
        CHECK(target.Flush() == ERROR_SUCCESS);
    }
    CHECK(watch.Added() == 0);  // closed when its holder went

    {
        CRegKeyHolder key;
        REQUIRE(key.Open(HKEY_LOCAL_MACHINE, testbed::kPowerKey.path) == ERROR_SUCCESS);
        const BYTE bytes[] = { 9, 8, 7, 6 };
        CHECK(key.SetBinary("Probe", bytes, sizeof(bytes)) == ERROR_SUCCESS);
        CHECK(testbed::ReadValue(testbed::kPowerKey, "Probe") == RegValue{ true, REG_BINARY, { 9, 8, 7, 6 } });
        CHECK(key.DeleteValue("Probe") == ERROR_SUCCESS);
        CHECK_FALSE(testbed::ReadValue(testbed::kPowerKey, "Probe").present);
    }
    CHECK(watch.Unchanged());
}
