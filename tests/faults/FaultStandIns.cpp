// The fault build's counting stand-ins, linked into sentavio-faults.exe beside
// the product's own objects, never into Sentavio.exe. The environment arms
// them before any of the program's code runs:
//   SENTAVIO_FAULT_LOG=file       one line per call (name, its number, the
//                                 call site, what it was asked), appended
//   SENTAVIO_FAULT=Name:n[:way]   the n-th call of Name fails the way-th way
//                                 of FaultCalls.h (default 1)
// With neither set, nothing is replaced. Armed, every slot of the
// executable's import table holds a stand-in, and so does every function
// GetProcAddress finds: user32 (bound late through afxlate.h's slots) and the
// power library. The restart is only logged ("restart requested"): on Wine,
// ExitWindowsEx ends the whole session, the sweep with it.
#include "FaultCalls.h"

#include "framework/afxlate.h"
#include "tests/support/ImportSlot.h"

#include <powrprof.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tuple>
#include <type_traits>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace faults {

namespace {

#define FAULT_ID(module, name, ...) id_##name,
#define FAULT_COUNT(module, name, kind) +1
enum Id { FAULT_CALLS(FAULT_ID) kStandInCount, kIdCount = kStandInCount + 0 FAULT_UNREPLACED(FAULT_COUNT) };

// What each slot called before it was replaced; late ones once found.
void* g_real[kIdCount];
int g_calls[kIdCount];

struct Armed {
    int id = -1;
    int call = 0;
    Way way = {};
} g_armed;

// Open for the whole run and left to the process's end, not to a holder:
// a holder's CloseHandle at exit would go through the counted import slot
// and show up as a call of the program's.
HANDLE g_log = INVALID_HANDLE_VALUE;

// Set while the stand-ins keep their own books: a runtime function they
// call (strlen inside the formatting, say) is then passed straight on, not
// counted.
bool g_busy = false;

class CBusy {
public:
    CBusy() : m_was(g_busy) { g_busy = true; }
    ~CBusy() { g_busy = m_was; }
    CBusy(const CBusy&) = delete;
    CBusy& operator=(const CBusy&) = delete;

private:
    bool m_was;
};

template <typename F>
F Real(int id)
{
    return reinterpret_cast<F>(g_real[id]);
}

// Writes one line; the caller's last error survives it.
void Log(const char* line)
{
    if (g_log == INVALID_HANDLE_VALUE)
        return;
    const DWORD error = Real<decltype(&::GetLastError)>(id_GetLastError)();
    DWORD written = 0;
    WriteFile(g_log, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    SetLastError(error);
}

// A text argument on one line of the log.
void AppendText(char* out, size_t size, LPCSTR text)
{
    if (text == nullptr || reinterpret_cast<ULONG_PTR>(text) >> 16 == 0) {
        snprintf(out + strlen(out), size - strlen(out), "#%u",
                 static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(text)));
        return;
    }
    size_t n = strlen(out);
    for (; *text != '\0' && n + 1 < size; ++text)
        out[n++] = (*text == '\n' || *text == '\r' || *text == '\t') ? ' ' : *text;
    out[n] = '\0';
}

// What the log says a call was asked, for the calls the sweep judges by.
template <int id, typename... A>
void Describe(char* out, size_t size, A... args)
{
    std::tuple<A...> a(args...);
    if constexpr (id == id_LoadLibraryA || id == id_GetModuleHandleA) {
        AppendText(out, size, std::get<0>(a));
    } else if constexpr (id == id_GetProcAddress || id == id_RegOpenKeyExA || id == id_RegQueryValueExA ||
                         id == id_RegSetValueExA || id == id_RegDeleteValueA) {
        AppendText(out, size, std::get<1>(a));
    } else if constexpr (id == id_MessageBoxA) {
        AppendText(out, size, std::get<2>(a));
        snprintf(out + strlen(out), size - strlen(out), "|%#x|", static_cast<unsigned>(std::get<3>(a)));
        AppendText(out, size, std::get<1>(a));
    } else if constexpr (id == id_ExitWindowsEx || id == id_OpenProcessToken) {
        snprintf(out + strlen(out), size - strlen(out), "%#x", static_cast<unsigned>(std::get<1>(a)));
    }
}

template <typename R>
R FromNumber(LONG_PTR value)
{
    if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(value);
    else if constexpr (!std::is_void_v<R>)
        return static_cast<R>(value);
}

template <typename R, typename... A>
R FirstArgument(A... args)
{
    if constexpr (sizeof...(A) > 0) {
        if constexpr (std::is_convertible_v<std::tuple_element_t<0, std::tuple<A...>>, R>)
            return std::get<0>(std::tuple<A...>(args...));
    }
    return FromNumber<R>(0);
}

// What the failing call answers instead of the system.
template <typename R, typename... A>
R Failure(const Way& way, A... args)
{
    if (way.kind != Kind::Status && way.error != 0)
        SetLastError(way.error);
    switch (way.kind) {
    case Kind::Status:
        return FromNumber<R>(static_cast<LONG_PTR>(way.error));
    case Kind::MinusOne:
        return FromNumber<R>(-1);
    case Kind::Same:
        return FirstArgument<R>(args...);
    case Kind::TooSmall:
        return FromNumber<R>(MAX_PATH + 64);
    case Kind::Partly:
        return FromNumber<R>(TRUE);
    default:
        return FromNumber<R>(0);
    }
}

// One of the stand-ins' own lines, about a text.
void LogNote(const char* format, const char* text)
{
    char line[300];
    snprintf(line, sizeof(line), format, text);
    Log(line);
}

void* LateStandIn(int id);

// The function's place in kFunctions, which is its Id; -1 for a name the
// table lacks.
int IdOf(const char* name)
{
    const Function* f = FindFunction(name);
    return f != nullptr ? static_cast<int>(f - kFunctions) : -1;
}

// A function found by name: its stand-in, the real one kept behind it.
FARPROC WrapFound(LPCSTR name, FARPROC found)
{
    CBusy busy;
    if (found == nullptr || reinterpret_cast<ULONG_PTR>(name) >> 16 == 0)
        return found;
    const int id = IdOf(name);
    if (id >= 0 && LateStandIn(id) != nullptr) {
        g_real[id] = reinterpret_cast<void*>(found);
        return reinterpret_cast<FARPROC>(LateStandIn(id));
    }
    LogNote("UNLISTED found %s\n", name);
    return found;
}

// Counts the call, logs it, and tells whether it is the one to fail.
template <int id, typename... A>
bool Enter(void* returnAddress, A... args)
{
    CBusy busy;
    const int call = ++g_calls[id];
    const bool fail = g_armed.id == id && g_armed.call == call;
    char line[600];
    snprintf(line, sizeof(line), "%s\t%d\t%#lx\t%s\t", kFunctions[id].name, call,
             static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(returnAddress) -
                                        reinterpret_cast<ULONG_PTR>(&__ImageBase)),
             fail ? "FAIL" : "-");
    Describe<id>(line, sizeof(line) - 2, args...);
    strcat(line, "\n");
    Log(line);
    return fail;
}

template <int id, typename F>
struct StandIn;

#define FAULT_STANDIN_FOR(CC)                                                            \
    template <int id, typename R, typename... A>                                         \
    struct StandIn<id, R(CC*)(A...)> {                                                   \
        static R CC Call(A... args)                                                      \
        {                                                                                \
            if (g_busy)                                                                  \
                return Real<R(CC*)(A...)>(id)(args...);                                  \
            if (Enter<id>(__builtin_return_address(0), args...))                         \
                return Failure<R>(g_armed.way, args...);                                 \
            if constexpr (id == id_ExitWindowsEx) {                                      \
                Log("restart requested\n");                                             \
                return TRUE;                                                             \
            } else if constexpr (id == id_GetProcAddress) {                             \
                return WrapFound(std::get<1>(std::tuple<A...>(args...)),                  \
                                 Real<R(CC*)(A...)>(id)(args...));                       \
            } else {                                                                     \
                return Real<R(CC*)(A...)>(id)(args...);                                  \
            }                                                                            \
        }                                                                                \
    };
FAULT_STANDIN_FOR(WINAPI)
#if defined(__i386__)
// Only i686 tells the C runtime's convention from the system's.
FAULT_STANDIN_FOR()
#endif

#define FAULT_STANDIN(module, name, ...) \
    reinterpret_cast<void*>(&StandIn<id_##name, decltype(&::name)>::Call),
// nullptr for the runtime's and data imports, which have none.
void* StandInOf(int id)
{
    static void* const standIns[] = { FAULT_CALLS(FAULT_STANDIN) };
    return id < kStandInCount ? standIns[id] : nullptr;
}

void* LateStandIn(int id)
{
    const Module m = kFunctions[id].module;
    return m == User32 || m == Powrprof ? StandInOf(id) : nullptr;
}

// Rewrites every slot of the executable's import table that has a stand-in.
void ReplaceImports()
{
    // Still the real one: no slot is rewritten yet.
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            // A name the table lacks is one the stand-ins import for themselves:
            // check-standins.sh holds the table against every import of the product.
            const int id = IdOf(reinterpret_cast<const char*>(byName->Name));
            if (id < 0)
                continue;
            g_real[id] = reinterpret_cast<void*>(slots->u1.Function);
            // Exchange calls VirtualProtect through its slot: once that
            // holds its stand-in, the stand-in, busy here, passes it on.
            void* standIn = StandInOf(id);
            if (standIn != nullptr)
                imports::Exchange(slots->u1.Function, reinterpret_cast<ULONG_PTR>(standIn));
        }
    }
    // The late-bound ones do not show in the import table.
    for (int i = 0; i < afxUser32ImportCount; ++i)
        if (IdOf(afxUser32Imports[i].pszName) < 0)
            LogNote("UNLISTED late import %s\n", afxUser32Imports[i].pszName);
}

// "Name:n[:way]"; FALSE when it names nothing the table can fail.
bool ParseFault(char* request)
{
    char* call = strchr(request, ':');
    if (call == nullptr)
        return false;
    *call++ = '\0';
    char* way = strchr(call, ':');
    if (way != nullptr)
        *way++ = '\0';
    const int id = IdOf(request);
    if (id < 0)
        return false;
    const int wayNumber = way != nullptr ? atoi(way) : 1;
    if (wayNumber < 1 || wayNumber > FailureWays(kFunctions[id]))
        return false;
    g_armed.id = id;
    g_armed.call = atoi(call);
    g_armed.way = kFunctions[id].ways[wayNumber - 1];
    return g_armed.call >= 1;
}

// Before every other constructor: the program's own run from the first.
__attribute__((constructor(101))) void Arm()
{
    char logPath[MAX_PATH] = {};
    char fault[128] = {};
    const bool logging = GetEnvironmentVariableA("SENTAVIO_FAULT_LOG", logPath, sizeof(logPath)) != 0;
    const bool failing = GetEnvironmentVariableA("SENTAVIO_FAULT", fault, sizeof(fault)) != 0;
    if (!logging && !failing)
        return;
    CBusy busy;
    if (logging)
        g_log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ReplaceImports();
    if (!failing)
        return;
    char request[sizeof(fault)] = {};
    memcpy(request, fault, sizeof(fault));
    if (!ParseFault(request))
        LogNote("MALFORMED fault request \"%s\": not Name:n[:way] naming a way the table fails\n", fault);
}

}  // namespace

}  // namespace faults
