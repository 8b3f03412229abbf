// The five alarm values against the platform's own GLOBAL_POWER_POLICY
// layout: the SDK's structure is the yardstick for every offset (its size
// and theirs are checked where the program compiles, PolicyRecord.cpp).
#include <doctest.h>

#include <cstring>

#include "system/PolicyRecord.h"
#include "tests/testbed/PowerMachine.h"

namespace {

struct Record {
    BYTE bytes[kGlobalPowerPolicySize];
};

Record BytesOf(const GLOBAL_POWER_POLICY& policy)
{
    Record record = {};
    std::memcpy(record.bytes, &policy, sizeof(record.bytes));
    return record;
}

// The offset of the first byte that differs, or -1.
int FirstDifference(const Record& a, const Record& b)
{
    for (DWORD i = 0; i < kGlobalPowerPolicySize; ++i)
        if (a.bytes[i] != b.bytes[i])
            return static_cast<int>(i);
    return -1;
}

}  // namespace

using testbed::Settings;
constexpr testbed::Alarms kOptimum = testbed::kOptimumAlarms;

TEST_CASE("reading the five values from the record")
{
    const testbed::Alarms Critical2 = testbed::OptimumWith(&testbed::Alarms::criticalEnabled, 2);
    struct Case {
        const char* name;
        testbed::Alarms stored;  // the Enable values as bytes
        DischargeSettings expected;
    } cases[] = {
        { "the example policy", { 0, 1, 5, PowerActionNone, 1 }, { 0, 1, 5, 0, 1 } },
        { "the optimum", kOptimum, Settings(kOptimum) },
        { "an Enable byte of 2 is passed on, not taken as on", Critical2, Settings(Critical2) },
        { "Enable bytes are zero-extended, never sign-extended", { 0xFF, 0x80, 0, 0, 0 }, { 255, 128, 0, 0, 0 } },
        { "all 32 bits of the wide fields", { 1, 0, 0xFFFFFFFF, 0x80000007, 0xDEADBEEF },
          { 1, 0, 0xFFFFFFFF, 0x80000007, 0xDEADBEEF } },
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        GLOBAL_POWER_POLICY policy = testbed::LaptopPolicy(testbed::kCriticalAtFiveNoAction);
        testbed::SetAlarms(policy, c.stored);
        const Record record = BytesOf(policy);

        DischargeSettings read = {};
        ReadDischargeFields(record.bytes, read);
        CHECK(testbed::Words(read, " ") == testbed::Words(c.expected, " "));
    }
}

// Every byte but the five fields must come back as it was (the laptop
// policy's critical Flags, MinSystemState and spare bytes are nonzero): the
// SDK's structure, changed field by field, says what the record must hold.
TEST_CASE("storing the five values changes those fields and no other byte")
{
    const GLOBAL_POWER_POLICY laptop = testbed::LaptopPolicy(testbed::kCriticalAtFiveNoAction);
    GLOBAL_POWER_POLICY ones = {};
    std::memset(&ones, 0xFF, sizeof(ones));
    struct Case {
        const char* name;
        GLOBAL_POWER_POLICY before;
        DischargeSettings stored;
        BYTE criticalEnable;  // what the Enable bytes must hold afterwards
        BYTE lowEnable;
    } cases[] = {
        { "the optimum into a laptop's policy", laptop, Settings(kOptimum), 1, 0 },
        { "Enable values keep only their low byte", laptop, { 0x101, 0x200, 7, 1, 2 }, 1, 0 },
        { "zeros into a record of all ones", ones, { 0, 0, 0, 0, 0 }, 0, 0 },
        { "wide values do not spill into their neighbours", laptop,
          { 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF }, 0xFF, 0xFF },
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        GLOBAL_POWER_POLICY expected = c.before;
        testbed::SetAlarms(expected, { c.criticalEnable, c.lowEnable, c.stored.dwCriticalLevel, c.stored.dwCriticalAction,
                                       c.stored.dwCriticalEventCode });

        Record record = BytesOf(c.before);
        StoreDischargeFields(record.bytes, c.stored);
        CHECK(FirstDifference(record, BytesOf(expected)) == -1);
    }
}
