// The one way to prepare a machine that qualifies; the tool offers it to the scripts as "qualify".
#pragma once

#include "tests/testbed/Machine.h"
#include "tests/testbed/PowerMachine.h"
#include "tests/testbed/Registry.h"

namespace testbed {

// A machine that Sentavio.exe (or the program named) prompts on: Windows 2000, the maker's driver
// behind "cmbatt", the usual power machine with these alarms, a 20-byte binary Heuristics value whose
// byte 6 is neither 0 nor 1, the bystanders, and the program's own Run value. Answers 0 or the error.
constexpr const char* kAutostartCommand = "C:\\Sentavio\\Sentavio.exe";
DWORD Qualify(const Alarms& alarms = kCriticalAtFiveNoAction, const char* program = kSentavioExe);

}  // namespace testbed
