#include "Heuristics.h"

DWORD HeuristicsWriteSize(DWORD cbRead)
{
    return cbRead > kHeuristicsMinSize ? cbRead : kHeuristicsMinSize;
}

void EditHeuristics(BYTE* value, DWORD cbRead, BOOL enable)
{
    // A shorter value is completed with zeros, as a missing one is all zeros.
    for (DWORD i = cbRead; i < kHeuristicsMinSize; ++i)
        value[i] = 0;
    value[kHeuristicsFlagIndex] = enable ? 1 : 0;
}
