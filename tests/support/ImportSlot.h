// Putting a stand-in into an import slot, the pointer that every call of
// this executable to a system function goes through (see afxlate.h): for
// what Wine cannot be made to do (a refused call, a configuration it cannot
// hold, a restart that would end the session), or to watch the calls.
#pragma once

#include <windows.h>

#include <type_traits>

#include "framework/afxlate.h"

// Declares importSlot_<name>: this executable's slot of the function, in its
// import table or, for a late-bound one, the framework's.
#define SENTAVIO_IMPORT_SLOT(name, bytes) \
    extern decltype(&::name) importSlot_##name asm(AFX_IMPORT_SLOT(name, bytes))

namespace imports {

// Writes a value into a slot, whatever the page's protection, and answers
// what the slot held.
template <typename T>
T Exchange(T& slot, T value)
{
    DWORD protection = 0;
    VirtualProtect(&slot, sizeof(slot), PAGE_READWRITE, &protection);
    const T held = slot;
    slot = value;
    VirtualProtect(&slot, sizeof(slot), protection, &protection);
    return held;
}

// A stand-in in the slot for as long as this lives; Real() is what the slot
// held before, for the stand-in to pass calls on to. One at a time per slot.
template <auto& Slot>
class CStandIn {
public:
    using Function = std::remove_reference_t<decltype(Slot)>;

    explicit CStandIn(Function standIn) { s_real = Exchange(Slot, standIn); }
    ~CStandIn() { Exchange(Slot, s_real); }
    CStandIn(const CStandIn&) = delete;
    CStandIn& operator=(const CStandIn&) = delete;

    static Function Real() { return s_real; }

private:
    static inline Function s_real = nullptr;
};

}  // namespace imports
