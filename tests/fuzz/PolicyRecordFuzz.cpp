// Hostile bytes for the power policy record mapping: any 192-byte record and
// any five values. Storing changes the five fields and nothing else, reading
// gives back what was stored, and a read stored back leaves the record as it
// was. The record lives in a block of exactly its size, so AddressSanitizer
// sees any access outside it.
#include "system/PolicyRecord.h"

#include <assert.h>
#include <string.h>

#include <memory>

namespace {

// Offset and width of each byte the mapping may write.
bool IsField(DWORD offset)
{
    return offset == 76 || (offset >= 80 && offset < 88) || (offset >= 92 && offset < 96) || offset == 100;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DischargeSettings wanted = {};
    if (size < kGlobalPowerPolicySize + sizeof(wanted))
        return 0;
    memcpy(&wanted, data + kGlobalPowerPolicySize, sizeof(wanted));

    std::unique_ptr<BYTE[]> record(new BYTE[kGlobalPowerPolicySize]);
    memcpy(record.get(), data, kGlobalPowerPolicySize);

    // A read stored back changes no byte.
    DischargeSettings read = {};
    ReadDischargeFields(record.get(), read);
    assert(read.dwCriticalAlarmEnabled <= 0xFF && read.dwLowAlarmEnabled <= 0xFF);
    StoreDischargeFields(record.get(), read);
    assert(memcmp(record.get(), data, kGlobalPowerPolicySize) == 0);

    // Only the five fields change, and they read back as stored; the two
    // Enable values keep their low byte.
    StoreDischargeFields(record.get(), wanted);
    for (DWORD i = 0; i < kGlobalPowerPolicySize; ++i)
        assert(IsField(i) || record[i] == data[i]);
    DischargeSettings back = {};
    ReadDischargeFields(record.get(), back);
    assert(back.dwCriticalAlarmEnabled == (wanted.dwCriticalAlarmEnabled & 0xFF));
    assert(back.dwLowAlarmEnabled == (wanted.dwLowAlarmEnabled & 0xFF));
    assert(back.dwCriticalLevel == wanted.dwCriticalLevel);
    assert(back.dwCriticalAction == wanted.dwCriticalAction);
    assert(back.dwCriticalEventCode == wanted.dwCriticalEventCode);
    return 0;
}
