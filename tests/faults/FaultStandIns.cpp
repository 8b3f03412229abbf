// The counting stand-ins of every function of FaultCalls.h, armed either for
// the whole fault build (FaultBuild.cpp) or, one function at a time, inside a
// test program (CFault). Armed, the restart is only logged ("restart
// requested"): on Wine, ExitWindowsEx ends the whole session, the sweep with it.
#include "FaultStandIns.h"

#include "FaultCalls.h"

#include "framework/afxlate.h"

#include <powrprof.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tuple>
#include <type_traits>
#include <utility>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace faults {

namespace {

#define FAULT_ID(module, name, ...) id_##name,
#define FAULT_COUNT(module, name, kind) +1
enum Id { FAULT_CALLS(FAULT_ID) kStandInCount, kIdCount = kStandInCount + 0 FAULT_UNREPLACED(FAULT_COUNT) };

// What each slot called before it was replaced; late ones once found.
void* g_real[kIdCount];
// Counted with a locked increment: a robot's thread calls some of the same
// functions as the program's, and a lost count would fail the wrong call.
LONG g_calls[kIdCount];

// The failure each function is armed with: its call-th call fails.
struct Armed {
    int call = 0;
    Way way = {};
} g_armed[kIdCount];

// What each one's last call was asked, as the log says it.
char g_asked[kIdCount][512];

// What a test answers each call with instead of the system; how many
// CFaults hold each function, and each slot (the power library's functions
// share GetProcAddress's).
void* g_answer[kIdCount];
int g_holders[kIdCount];
int g_slotHolders[kIdCount];

// The calls of the functions CFaults hold, in order (see TakeJournal): the
// program's thread and a robot's may both add to it.
struct Journal {
    Journal() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    std::string calls;
    int last = -1;
};

Journal& TheJournal()
{
    static Journal journal;
    return journal;
}

// Open for the whole run and left to the process's end, not to a holder:
// a holder's CloseHandle at exit would go through the counted import slot
// and show up as a call of the program's.
HANDLE g_log = INVALID_HANDLE_VALUE;

// Set for a thread while the stand-ins keep their own books on it: a
// runtime function they call (strlen inside the formatting, say) is then
// passed straight on, not counted. Per thread: while a robot's thread keeps
// books, the program's calls must still meet their stand-ins (a restart
// passed on ends the session, the test with it). Any value but null marks
// the thread; read past the stand-ins, as TlsGetValue has one and clears
// the last error.
const DWORD g_busySlot = TlsAlloc();

template <typename F>
F Real(int id)
{
    return reinterpret_cast<F>(g_real[id]);
}

template <typename F>
F System(int id, F imported)
{
    return g_real[id] != nullptr ? Real<F>(id) : imported;
}

bool Busy()
{
    const DWORD error = System(id_GetLastError, &::GetLastError)();
    const bool busy = System(id_TlsGetValue, &::TlsGetValue)(g_busySlot) != nullptr;
    SetLastError(error);
    return busy;
}

class CBusy {
public:
    CBusy() : m_was(Busy()) { TlsSetValue(g_busySlot, this); }
    ~CBusy() { TlsSetValue(g_busySlot, m_was ? this : nullptr); }
    CBusy(const CBusy&) = delete;
    CBusy& operator=(const CBusy&) = delete;

private:
    bool m_was;
};

// Writes a value into an import slot, whatever the page's protection, and
// answers what the slot held.
ULONG_PTR Exchange(ULONG_PTR& slot, ULONG_PTR value)
{
    DWORD protection = 0;
    VirtualProtect(&slot, sizeof(slot), PAGE_READWRITE, &protection);
    const ULONG_PTR held = slot;
    slot = value;
    VirtualProtect(&slot, sizeof(slot), protection, &protection);
    return held;
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
    } else if constexpr (id == id_AdjustTokenPrivileges) {
        // What the privileges asked for: disable all, count, the first's LUID and
        // attributes, and whether the previous state was asked for.
        const TOKEN_PRIVILEGES* p = std::get<2>(a);
        snprintf(out + strlen(out), size - strlen(out), "%d %lu %lu:%ld %#lx %s", std::get<1>(a),
                 p != nullptr ? p->PrivilegeCount : 0UL, p != nullptr ? p->Privileges[0].Luid.LowPart : 0UL,
                 p != nullptr ? p->Privileges[0].Luid.HighPart : 0L, p != nullptr ? p->Privileges[0].Attributes : 0UL,
                 std::get<3>(a) != 0 || std::get<4>(a) != nullptr ? "previous" : "-");
    } else if constexpr (id == id_ExitWindowsEx) {
        snprintf(out + strlen(out), size - strlen(out), "%#x", static_cast<unsigned>(std::get<0>(a)));
    } else if constexpr (id == id_OpenProcessToken) {
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
    const int call = InterlockedIncrement(&g_calls[id]);
    const bool fail = g_armed[id].call == call;
    g_asked[id][0] = '\0';
    Describe<id>(g_asked[id], sizeof(g_asked[id]), args...);
    char line[600];
    snprintf(line, sizeof(line), "%s\t%d\t%#lx\t%s\t%s\n", kFunctions[id].name, call,
             static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(returnAddress) -
                                        reinterpret_cast<ULONG_PTR>(&__ImageBase)),
             fail ? "FAIL" : "-", g_asked[id]);
    Log(line);
    Journal& journal = TheJournal();
    EnterCriticalSection(&journal.lock);
    if (g_holders[id] > 0 && journal.last != id) {
        journal.calls += std::string(journal.calls.empty() ? "" : " ") + kFunctions[id].name;
        journal.last = id;
    }
    LeaveCriticalSection(&journal.lock);
    return fail;
}

template <int id, typename F>
struct StandIn;

#define FAULT_STANDIN_FOR(CC)                                                            \
    template <int id, typename R, typename... A>                                         \
    struct StandIn<id, R(CC*)(A...)> {                                                   \
        static R CC Call(A... args)                                                      \
        {                                                                                \
            if (Busy())                                                                  \
                return Real<R(CC*)(A...)>(id)(args...);                                  \
            if (Enter<id>(__builtin_return_address(0), args...))                         \
                return Failure<R>(g_armed[id].way, args...);                             \
            if (g_answer[id] != nullptr) {                                               \
                CBusy answering;                                                         \
                return reinterpret_cast<R(CC*)(A...)>(g_answer[id])(args...);            \
            }                                                                            \
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

// Calls found(id, slot) for every slot of the executable's import table
// that the table names. A name the table lacks is one the stand-ins import
// for themselves: check-standins.sh holds the table against every import
// of the product.
template <typename F>
void ForEachImport(F found)
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
            const int id = IdOf(reinterpret_cast<const char*>(byName->Name));
            if (id >= 0)
                found(id, slots->u1.Function);
        }
    }
}

// Puts the stand-in into a slot, keeping what it called. Exchange calls
// VirtualProtect through its slot: once that holds its stand-in, the
// stand-in, busy here, passes it on.
void Replace(int id, ULONG_PTR& slot)
{
    g_real[id] = reinterpret_cast<void*>(slot);
    if (void* standIn = StandInOf(id))
        Exchange(slot, reinterpret_cast<ULONG_PTR>(standIn));
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
    g_armed[id] = { atoi(call), kFunctions[id].ways[wayNumber - 1] };
    return g_armed[id].call >= 1;
}

// Stops the program with a message: a test asked for what cannot be.
[[noreturn]] void Refuse(const char* format, const char* name)
{
    fprintf(stderr, format, name);
    fflush(stderr);
    ExitProcess(3);
}

}  // namespace

bool ArmWholeProgram(const char* logPath, const char* fault, const AFX_LATE_IMPORT* late, int lateCount)
{
    CBusy busy;
    if (logPath != nullptr)
        g_log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ForEachImport(&Replace);
    // The late-bound ones do not show in the import table.
    for (int i = 0; i < lateCount; ++i)
        if (IdOf(late[i].pszName) < 0)
            LogNote("UNLISTED late import %s\n", late[i].pszName);
    if (fault == nullptr)
        return true;
    char request[128] = {};
    strncpy(request, fault, sizeof(request) - 1);
    if (ParseFault(request))
        return true;
    LogNote("MALFORMED fault request \"%s\": not Name:n[:way] naming a way the table fails\n", fault);
    return false;
}

CFault::CFault(const char* name, int call, DWORD error) : m_id(IdOf(name))
{
    if (m_id < 0 || StandInOf(m_id) == nullptr)
        Refuse("CFault: %s has no stand-in in FaultCalls.h\n", name);
    const Function& f = kFunctions[m_id];
    g_armed[m_id] = {};
    for (int way = 0; call > 0 && way < FailureWays(f); ++way)
        if (f.ways[way].error == error)
            g_armed[m_id] = { call, f.ways[way] };
    if (call > 0 && g_armed[m_id].call == 0)
        Refuse("CFault: FaultCalls.h lists no such failure of %s\n", name);
    g_calls[m_id] = 0;
    g_asked[m_id][0] = '\0';
    // A function the program looks up (the power library's, say) is reached
    // through GetProcAddress's stand-in, which hands out its stand-in.
    for (const int slotId : { m_id, LateStandIn(m_id) != nullptr ? int(id_GetProcAddress) : m_id }) {
        m_slotId = slotId;
        ForEachImport([this](int id, ULONG_PTR& slot) {
            if (id == m_slotId && m_slot == nullptr)
                m_slot = &slot;
        });
        if (m_slot != nullptr)
            break;
    }
    if (m_slot == nullptr)
        Refuse("CFault: this program does not import %s\n", name);
    if (g_holders[m_id]++ > 0)
        Refuse("CFault: %s is held already\n", name);
    if (g_slotHolders[m_slotId]++ == 0)
        Replace(m_slotId, *m_slot);
}

CFault::CFault(const char* name, void* answer) : CFault(name)
{
    g_answer[m_id] = answer;
}

CFault::~CFault()
{
    if (--g_slotHolders[m_slotId] == 0)
        Exchange(*m_slot, reinterpret_cast<ULONG_PTR>(g_real[m_slotId]));
    --g_holders[m_id];
    g_armed[m_id] = {};
    g_answer[m_id] = nullptr;
}

int CFault::Calls() const
{
    return g_calls[m_id];
}

std::string CFault::Asked() const
{
    return g_asked[m_id];
}

std::string TakeJournal()
{
    Journal& journal = TheJournal();
    EnterCriticalSection(&journal.lock);
    journal.last = -1;
    std::string calls = std::exchange(journal.calls, {});
    LeaveCriticalSection(&journal.lock);
    return calls;
}

}  // namespace faults
