// user32 is bound on first use: the table resolves every function it lists,
// the built Sentavio.exe does not import the library, and on Wine it loads
// it only on the paths that show a window. The test is the debugger of the
// Sentavio.exe it starts, so it sees every library the program maps.
#include <doctest.h>

#include "framework/afxlate.h"
#include "messages/Holders.h"
#include "tests/testbed/Machine.h"
#include "tests/testbed/MachineScope.h"
#include "tests/testbed/Qualify.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/Process.h"
#include "tests/testbed/User.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

template <typename T>
bool ReadChild(HANDLE process, ULONG_PTR address, T& value)
{
    SIZE_T done = 0;
    return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address), &value, sizeof(value), &done) &&
           done == sizeof(value);
}

// The name a mapped library gives itself in its export directory.
std::string ExportName(HANDLE process, ULONG_PTR base)
{
    IMAGE_DOS_HEADER dos = {};
    IMAGE_NT_HEADERS nt = {};
    if (!ReadChild(process, base, dos) || !ReadChild(process, base + dos.e_lfanew, nt))
        return "";
    const IMAGE_DATA_DIRECTORY& dir = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    IMAGE_EXPORT_DIRECTORY exports = {};
    if (dir.VirtualAddress == 0 || !ReadChild(process, base + dir.VirtualAddress, exports))
        return "";
    char name[64] = {};
    SIZE_T done = 0;
    ReadProcessMemory(process, reinterpret_cast<LPCVOID>(base + exports.Name), name, sizeof(name) - 1, &done);
    return Lower(name);
}

struct TracedRun {
    user::Session session;
    std::vector<std::string> libraries;  // in load order, lower case
    std::vector<DWORD> faults;           // exceptions other than breakpoints

    bool Loaded(const char* name) const
    {
        return std::find(libraries.begin(), libraries.end(), name) != libraries.end();
    }
};

// Runs Sentavio.exe to its end as its debugger, the user cancelling the
// prompt and dismissing every box.
TracedRun RunTraced()
{
    TracedRun run;
    user::RunOptions options;
    options.timeoutMs = 30000;
    options.onDebugEvent = [&run](const DEBUG_EVENT& event, HANDLE process) {
        if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT)
            run.libraries.push_back(ExportName(process, reinterpret_cast<ULONG_PTR>(event.u.LoadDll.lpBaseOfDll)));
        else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                 event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
            run.faults.push_back(event.u.Exception.ExceptionRecord.ExceptionCode);
    };
    run.session = user::RunSentavio({}, options);
    return run;
}

}  // namespace

TEST_CASE("every late-bound user32 function resolves to the library's own export")
{
    REQUIRE(afxUser32ImportCount > 0);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    REQUIRE(user32 != nullptr);
    for (int i = 0; i < afxUser32ImportCount; ++i) {
        const AFX_LATE_IMPORT& import = afxUser32Imports[i];
        CAPTURE(std::string(import.pszName));
        const void* expected = reinterpret_cast<const void*>(GetProcAddress(user32, import.pszName));
        REQUIRE(expected != nullptr);
        CHECK(reinterpret_cast<const void*>(import.pfnBind()) == expected);
        // Bound once, the slot answers the same again.
        CHECK(reinterpret_cast<const void*>(import.pfnBind()) == expected);
    }
    // A call through a bound slot reaches the library.
    CHECK(GetSystemMetrics(SM_CXICON) > 0);
}

TEST_CASE("Sentavio.exe imports neither user32 nor gdi32")
{
    const CLibraryHolder image(
        LoadLibraryExA(process::SentavioExe().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    REQUIRE(image);
    const BYTE* base = reinterpret_cast<const BYTE*>(image.Get());
    const IMAGE_NT_HEADERS* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> dlls;
    for (const IMAGE_IMPORT_DESCRIPTOR* d =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         d->Name != 0; ++d)
        dlls.push_back(Lower(reinterpret_cast<const char*>(base + d->Name)));

    CAPTURE(dlls.size());
    CHECK(std::find(dlls.begin(), dlls.end(), "kernel32.dll") != dlls.end());
    CHECK(std::find(dlls.begin(), dlls.end(), "user32.dll") == dlls.end());
    CHECK(std::find(dlls.begin(), dlls.end(), "gdi32.dll") == dlls.end());
}

TEST_CASE("Sentavio.exe loads user32 only on a path that shows a window")
{
    using testbed::kMakersDriverPath, testbed::kCriticalAtFiveNoAction;
    // Each a machine that qualifies with these alarms, then this version and driver.
    struct Case {
        const char* name;
        const char* version;
        const char* driverPath;
        testbed::Alarms alarms;
        bool showsWindow;
    } cases[] = {
        { "another Windows version", "win7", kMakersDriverPath, kCriticalAtFiveNoAction, false },
        { "NT 5 with the stock battery driver", "win2k", testbed::kStockDriverPath, kCriticalAtFiveNoAction, false },
        { "qualifying machine, settings already optimal", "win2k", kMakersDriverPath, testbed::kOptimumAlarms, false },
        { "qualifying machine, settings to be changed", "win2k", kMakersDriverPath, kCriticalAtFiveNoAction, true },
    };
    testbed::MachineScope scope;
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        REQUIRE(testbed::Qualify(c.alarms) == ERROR_SUCCESS);
        REQUIRE(testbed::SetProgramVersion(c.version) == ERROR_SUCCESS);
        REQUIRE(testbed::SetService(testbed::kBatteryService, c.driverPath) == ERROR_SUCCESS);
        const TracedRun run = RunTraced();
        REQUIRE(run.session.ended);
        CHECK(run.faults.empty());
        CHECK(run.Loaded("kernel32.dll"));
        CHECK(run.Loaded("user32.dll") == c.showsWindow);
        CHECK(run.session.windows.size() == (c.showsWindow ? 1u : 0u));
    }
}

TEST_CASE("without user32 a window call fails and the program still ends normally")
{
    // The machine on which the program shows its prompt (see above), so the
    // run reaches the window calls.
    testbed::MachineScope scope;
    REQUIRE(testbed::Qualify() == ERROR_SUCCESS);

    // Wine's per-program override: an empty load order disables the library.
    const testbed::CSubKey overrides(testbed::kAppDefaultsKey, std::string(testbed::kSentavioExe) + "\\DllOverrides");
    REQUIRE(testbed::WriteString(overrides, "user32", "") == ERROR_SUCCESS);
    const TracedRun run = RunTraced();
    CHECK(testbed::DeleteValue(overrides, "user32") == ERROR_SUCCESS);

    REQUIRE(run.session.ended);
    CHECK(run.faults.empty());
    CHECK(run.session.exitCode == 0);
    CHECK_FALSE(run.Loaded("user32.dll"));
    CHECK(run.session.windows.empty());
}
