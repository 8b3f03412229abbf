#include "FaultCalls.h"

#include <string.h>

#include <initializer_list>

namespace faults {

namespace {

constexpr int CountWays(std::initializer_list<Way> ways)
{
    return static_cast<int>(ways.size());
}

}  // namespace

#define FAULT_FUNCTION(module, name, ...) \
    { module, #name, { __VA_ARGS__ }, CountWays({ __VA_ARGS__ }) },
#define FAULT_UNREPLACED_FUNCTION(module, name, kind) { module, #name, { { Kind::kind, 0 } }, 1 },
const Function kFunctions[] = { FAULT_CALLS(FAULT_FUNCTION) FAULT_UNREPLACED(FAULT_UNREPLACED_FUNCTION) };
const int kFunctionCount = sizeof(kFunctions) / sizeof(kFunctions[0]);

const Function* FindFunction(const char* name)
{
    for (const Function& f : kFunctions)
        if (strcmp(f.name, name) == 0)
            return &f;
    return nullptr;
}

int FailureWays(const Function& f)
{
    switch (f.ways[0].kind) {
    case Kind::Runtime:
    case Kind::Data:
    case Kind::Never:
        return 0;
    default:
        return f.wayCount;
    }
}

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::Bool:
        return "FALSE";
    case Kind::Null:
        return "null";
    case Kind::Status:
        return "status";
    case Kind::Zero:
        return "0";
    case Kind::MinusOne:
        return "-1";
    case Kind::Same:
        return "its argument";
    case Kind::TooSmall:
        return "a size larger than the buffer";
    case Kind::Partly:
        return "TRUE, nothing enabled";
    default:
        return "no failure";
    }
}

}  // namespace faults
