// The simulated machine's registry area: the power "Heuristics" value (and the key that holds it) and
// the values under the machine-wide Run key, Sentavio's own autostart value among them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/testbed/Registry.h"

namespace testbed {

// The byte of the Heuristics value that the program sets.
constexpr DWORD kHeuristicsFlagByte = 6;

// What a stored Heuristics value must become when the program sets the flag to this: REG_BINARY, at
// least 20 bytes, every stored byte kept but the flag.
RegValue HeuristicsWithFlag(const RegValue& stored, BYTE flag);

// Other programs' values beside the ones Sentavio may change, in the power key and the Run key: an edit
// that rewrites a key, or a write or removal of the wrong value, shows there. WriteBystanders puts both.
constexpr const char* kPowerBystander = "LastAlarm";
constexpr const char* kRunBystander = "Neighbour";
LONG WriteBystanders();

// size bytes that differ from their neighbours and from the flag values: a lost or moved byte shows.
std::vector<BYTE> Pattern(DWORD size);
// A value of this type and size as tests store it: binary and number get Pattern(size); a string gets
// printable characters ending in its terminator, so the 8-bit calls read back exactly these bytes.
std::vector<BYTE> ValueBytes(DWORD type, DWORD size);

// "binary", "string", "number"; "type N" for any other.
std::string TypeName(DWORD type);

}  // namespace testbed
