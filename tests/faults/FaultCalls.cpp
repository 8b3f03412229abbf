#include "FaultCalls.h"

#include <string.h>

#include <initializer_list>

namespace faults {

#define FAULT_FUNCTION(module, name, ...) \
    { module, #name, { __VA_ARGS__ }, static_cast<int>(std::initializer_list<Way>{ __VA_ARGS__ }.size()) },
#define FAULT_UNREPLACED_FUNCTION(module, name, kind) { module, #name, { { Kind::kind, 0 } }, 1 },
const Function kFunctions[] = { FAULT_CALLS(FAULT_FUNCTION) FAULT_UNREPLACED(FAULT_UNREPLACED_FUNCTION) };

const Function* FindFunction(const char* name)
{
    for (const Function& f : kFunctions)
        if (strcmp(f.name, name) == 0)
            return &f;
    return nullptr;
}

int FailureWays(const Function& f)
{
    const Kind kind = f.ways[0].kind;
    return kind == Kind::Runtime || kind == Kind::Data || kind == Kind::Never ? 0 : f.wayCount;
}

const char* KindName(Kind kind)
{
    // In the order of Kind; the first three never fail.
    static const char* const names[] = {
        "no failure", "no failure", "no failure", "FALSE", "null", "status", "0", "-1",
        "its argument", "a size larger than the buffer", "TRUE, nothing enabled",
    };
    static_assert(sizeof(names) / sizeof(names[0]) == static_cast<size_t>(Kind::Partly) + 1);
    return names[static_cast<size_t>(kind)];
}

}  // namespace faults
