// The one way the tests make a system call fail: the stand-in of a function
// of FaultCalls.h in its import slot, failing one of the ways that table
// lists. The fault build (FaultBuild.cpp) puts every stand-in in place from
// the environment; a test program arms one function at a time with CFault.
#pragma once

#include <windows.h>

#include <string>

#include "framework/afxlate.h"

namespace faults {

// The stand-in of the named function in this program's import slot for as
// long as this lives: it counts the calls from now on and keeps what the
// last one was asked (as the fault log says it); the call-th of them (0:
// none) fails the table's way whose error is error. ExitWindowsEx is never
// passed on: it answers TRUE. A user32 or power library function is also
// found through GetProcAddress, whose stand-in then holds its slot. A name
// or failure the table lacks, a function the program does not import, or
// one held already, stops the program with a message.
class CFault {
public:
    explicit CFault(const char* name, int call = 0, DWORD error = 0);
    // Or answers every call with answer, a function of the named one's type,
    // for what Wine cannot be made to answer (a token without
    // Administrators, say). Its own calls reach the system.
    template <typename F>
    CFault(const char* name, F* answer) : CFault(name, reinterpret_cast<void*>(answer))
    {
    }
    ~CFault();
    CFault(const CFault&) = delete;
    CFault& operator=(const CFault&) = delete;

    int Calls() const;
    std::string Asked() const;

private:
    CFault(const char* name, void* answer);

    int m_id;
    int m_slotId;  // whose slot holds a stand-in: the function's or GetProcAddress's
    ULONG_PTR* m_slot = nullptr;
};

// The calls of the functions that CFaults hold, made since the last take,
// in order: their names, a function called several times in a row once.
std::string TakeJournal();

// For the fault build: logs every call to logPath (nullptr: no log), puts
// every stand-in in place, found late ones too, and arms fault
// ("Name:n[:way]", nullptr: none). FALSE when fault names no failure of the
// table (the log says so).
bool ArmWholeProgram(const char* logPath, const char* fault, const AFX_LATE_IMPORT* late, int lateCount);

}  // namespace faults
