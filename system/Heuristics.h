// The Heuristics value of the system's power settings as plain bytes: the
// program sets one flag byte and keeps every other byte it finds.
#pragma once

#include <windows.h>

// The program writes at least this many bytes...
constexpr DWORD kHeuristicsMinSize = 20;
// ...and changes only this one (the seventh byte).
constexpr DWORD kHeuristicsFlagIndex = 6;

// How many bytes a value of cbRead bytes is written back with: 20, or the
// whole stored value when it is longer, so no stored byte is cut off.
DWORD HeuristicsWriteSize(DWORD cbRead);

// Turns the cbRead bytes read from the registry at the start of value into
// the value to write back: zeros after them up to 20 bytes, and the flag
// byte 1 when enable is TRUE, else 0. value must hold
// HeuristicsWriteSize(cbRead) bytes; every other byte is left as read.
void EditHeuristics(BYTE* value, DWORD cbRead, BOOL enable);
