// The Heuristics byte edit on its own, without a registry: what is written
// back for each size read, and that no byte but the flag changes.
#include <doctest.h>

#include <vector>

#include "system/Heuristics.h"

TEST_CASE("EditHeuristics keeps every byte read but the flag and completes short values with zeros")
{
    constexpr BYTE kGuard = 0xEE;  // what the buffer held where nothing was read
    struct Case {
        DWORD cbRead;
        BOOL enable;
        DWORD writeSize;
        BYTE flag;
    } cases[] = {
        { 0, TRUE, 20, 1 },       // missing value: 20 zeros with the flag
        { 1, TRUE, 20, 1 },
        { 6, TRUE, 20, 1 },       // ends just before the flag byte
        { 7, FALSE, 20, 0 },      // ends with the flag byte
        { 19, TRUE, 20, 1 },
        { 20, TRUE, 20, 1 },
        { 20, FALSE, 20, 0 },
        { 20, 2, 20, 1 },         // any true value sets the flag to 1
        { 21, TRUE, 21, 1 },      // longer values are never cut to 20
        { 64, FALSE, 64, 0 },
        { 4096, TRUE, 4096, 1 },
    };
    for (const Case& c : cases) {
        CAPTURE(c.cbRead);
        CAPTURE(c.enable);
        REQUIRE(HeuristicsWriteSize(c.cbRead) == c.writeSize);

        const auto read = [](DWORD i) { return static_cast<BYTE>(0x40 + i * 13); };  // the i-th byte read
        // The buffer: the bytes read, then leftovers, then a guard past the end.
        std::vector<BYTE> buffer(c.writeSize + 8, kGuard);
        for (DWORD i = 0; i < c.cbRead; ++i)
            buffer[i] = read(i);
        EditHeuristics(buffer.data(), c.cbRead, c.enable);

        for (DWORD i = 0; i < c.writeSize; ++i) {
            CAPTURE(i);
            BYTE expected = i == kHeuristicsFlagIndex ? c.flag : (i < c.cbRead ? read(i) : 0);
            CHECK(buffer[i] == expected);
        }
        for (DWORD i = c.writeSize; i < buffer.size(); ++i)
            CHECK(buffer[i] == kGuard);
    }
}
