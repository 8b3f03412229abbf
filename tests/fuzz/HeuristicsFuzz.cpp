// Hostile bytes for the Heuristics edit: a stored value of any length and
// any content, and any BOOL. The value to write back keeps its length (20
// bytes at least), every byte read stays as read except byte 6, bytes added
// to reach 20 are zeros, and byte 6 holds the flag. The block is exactly the
// size the edit is promised, so AddressSanitizer sees any access outside it.
#include "system/Heuristics.h"

#include <assert.h>
#include <string.h>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BOOL enable = 0;
    if (size < sizeof(enable))
        return 0;
    memcpy(&enable, data, sizeof(enable));
    const BYTE* stored = data + sizeof(enable);
    const DWORD cbRead = static_cast<DWORD>(size - sizeof(enable));

    const DWORD cbWrite = HeuristicsWriteSize(cbRead);
    assert(cbWrite == (cbRead > kHeuristicsMinSize ? cbRead : kHeuristicsMinSize));

    std::unique_ptr<BYTE[]> value(new BYTE[cbWrite]);
    // What a shorter read leaves after its bytes is not the edit's to trust.
    memset(value.get(), 0xA5, cbWrite);
    memcpy(value.get(), stored, cbRead);
    EditHeuristics(value.get(), cbRead, enable);

    for (DWORD i = 0; i < cbWrite; ++i) {
        if (i == kHeuristicsFlagIndex)
            assert(value[i] == (enable ? 1 : 0));
        else if (i < cbRead)
            assert(value[i] == stored[i]);
        else
            assert(value[i] == 0);
    }
    return 0;
}
