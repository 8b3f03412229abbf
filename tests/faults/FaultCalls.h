// Every system function Sentavio.exe calls, with the ways each one can fail
// as its documentation says: the one list of failures the tests can give.
// The stand-ins (FaultStandIns.h), the sweep that drives the fault build and
// the unit tests that arm them share it; check-standins.sh holds it against
// the product's import table, so a new import cannot escape the sweep.
//
// FAULT_CALLS(X) expands X(module, name, ways...) once per function that has a
// stand-in; a way is { kind, error }, the first the most likely: the quick sweep's.
#pragma once

#include <windows.h>

namespace faults {

enum class Kind {
    Runtime,   // the C runtime's own start-up, exit and diagnostics: not replaced
    Data,      // a data import, not a function: not replaced
    Never,     // no documented failure (or none the caller can see): counted only
    Bool,      // FALSE, and the error for GetLastError
    Null,      // a null handle or pointer, and the error
    Status,    // the error itself is the result (the registry functions)
    Zero,      // 0, and the error
    MinusOne,  // -1, and the error (DialogBoxParamA)
    Same,      // hands its first argument back: not freed (LocalFree, FreeSid)
    TooSmall,  // a buffer size larger than the buffer given (GetSystemDirectoryA)
    Partly,    // TRUE with ERROR_NOT_ALL_ASSIGNED: nothing was enabled
};

struct Way {
    Kind kind;
    DWORD error;
};

enum Module { Kernel32, Advapi32, Msvcrt, User32, Powrprof };

}  // namespace faults

// clang-format off
// The window-long functions have pointer width on x86_64, and names of their own.
#if defined(__i386__)
#define FAULT_WINDOW_LONG_CALLS(X) \
    X(User32, GetWindowLongA, { Kind::Zero, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, SetWindowLongA, { Kind::Zero, ERROR_INVALID_WINDOW_HANDLE })
#else
#define FAULT_WINDOW_LONG_CALLS(X) \
    X(User32, GetWindowLongPtrA, { Kind::Zero, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, SetWindowLongPtrA, { Kind::Zero, ERROR_INVALID_WINDOW_HANDLE })
#endif

#define FAULT_CALLS(X) \
    X(Advapi32, AdjustTokenPrivileges, { Kind::Bool, ERROR_ACCESS_DENIED }, { Kind::Partly, ERROR_NOT_ALL_ASSIGNED }) \
    X(Advapi32, AllocateAndInitializeSid, { Kind::Bool, ERROR_NOT_ENOUGH_MEMORY }) \
    X(Advapi32, CloseServiceHandle, { Kind::Bool, ERROR_INVALID_HANDLE }) \
    X(Advapi32, EqualSid, { Kind::Bool, ERROR_INVALID_SID }) \
    X(Advapi32, FreeSid, { Kind::Same, ERROR_INVALID_SID }) \
    X(Advapi32, GetTokenInformation, { Kind::Bool, ERROR_ACCESS_DENIED }, { Kind::Bool, ERROR_NOT_ENOUGH_MEMORY }) \
    X(Advapi32, LookupPrivilegeValueA, { Kind::Bool, ERROR_NO_SUCH_PRIVILEGE }) \
    X(Advapi32, OpenProcessToken, { Kind::Bool, ERROR_ACCESS_DENIED }, { Kind::Bool, ERROR_NOT_ENOUGH_MEMORY }) \
    X(Advapi32, OpenSCManagerA, { Kind::Null, ERROR_ACCESS_DENIED }, { Kind::Null, ERROR_DATABASE_DOES_NOT_EXIST }) \
    X(Advapi32, OpenServiceA, { Kind::Null, ERROR_ACCESS_DENIED }, { Kind::Null, ERROR_SERVICE_DOES_NOT_EXIST }) \
    X(Advapi32, OpenThreadToken, { Kind::Bool, ERROR_ACCESS_DENIED }, { Kind::Bool, ERROR_NO_TOKEN }) \
    X(Advapi32, QueryServiceConfigA, { Kind::Bool, ERROR_ACCESS_DENIED }, { Kind::Bool, ERROR_NOT_ENOUGH_MEMORY }) \
    X(Advapi32, RegCloseKey, { Kind::Status, ERROR_INVALID_HANDLE }) \
    X(Advapi32, RegDeleteValueA, { Kind::Status, ERROR_ACCESS_DENIED }, { Kind::Status, ERROR_FILE_NOT_FOUND }) \
    X(Advapi32, RegFlushKey, { Kind::Status, ERROR_REGISTRY_IO_FAILED }) \
    X(Advapi32, RegOpenKeyExA, { Kind::Status, ERROR_ACCESS_DENIED }, { Kind::Status, ERROR_FILE_NOT_FOUND }) \
    X(Advapi32, RegQueryValueExA, { Kind::Status, ERROR_ACCESS_DENIED }, { Kind::Status, ERROR_REGISTRY_IO_FAILED }, { Kind::Status, ERROR_MORE_DATA }) \
    X(Advapi32, RegSetValueExA, { Kind::Status, ERROR_ACCESS_DENIED }, { Kind::Status, ERROR_REGISTRY_IO_FAILED }) \
    X(Kernel32, CloseHandle, { Kind::Bool, ERROR_INVALID_HANDLE }) \
    X(Kernel32, DeleteCriticalSection, { Kind::Never, 0 }) \
    X(Kernel32, EnterCriticalSection, { Kind::Never, 0 }) \
    X(Kernel32, FindResourceA, { Kind::Null, ERROR_RESOURCE_NAME_NOT_FOUND }, { Kind::Null, ERROR_NOT_ENOUGH_MEMORY }) \
    X(Kernel32, FormatMessageA, { Kind::Zero, ERROR_NOT_ENOUGH_MEMORY }, { Kind::Zero, ERROR_MR_MID_NOT_FOUND }) \
    X(Kernel32, FreeLibrary, { Kind::Bool, ERROR_INVALID_HANDLE }) \
    X(Kernel32, GetCurrentProcess, { Kind::Never, 0 }) \
    X(Kernel32, GetCurrentThread, { Kind::Never, 0 }) \
    X(Kernel32, GetLastError, { Kind::Never, 0 }) \
    X(Kernel32, GetModuleHandleA, { Kind::Null, ERROR_MOD_NOT_FOUND }) \
    X(Kernel32, GetProcAddress, { Kind::Null, ERROR_PROC_NOT_FOUND }) \
    X(Kernel32, GetStartupInfoA, { Kind::Never, 0 }) \
    X(Kernel32, GetSystemDirectoryA, { Kind::Zero, ERROR_NOT_ENOUGH_MEMORY }, { Kind::TooSmall, 0 }) \
    X(Kernel32, GetVersionExA, { Kind::Bool, ERROR_INSUFFICIENT_BUFFER }) \
    X(Kernel32, InitializeCriticalSection, { Kind::Never, 0 }) \
    X(Kernel32, LeaveCriticalSection, { Kind::Never, 0 }) \
    X(Kernel32, LoadLibraryA, { Kind::Null, ERROR_MOD_NOT_FOUND }, { Kind::Null, ERROR_NOT_ENOUGH_MEMORY }) \
    X(Kernel32, LoadResource, { Kind::Null, ERROR_RESOURCE_DATA_NOT_FOUND }) \
    X(Kernel32, LocalFree, { Kind::Same, ERROR_INVALID_HANDLE }) \
    X(Kernel32, LockResource, { Kind::Null, ERROR_RESOURCE_DATA_NOT_FOUND }) \
    X(Kernel32, SetUnhandledExceptionFilter, { Kind::Never, 0 }) \
    X(Kernel32, Sleep, { Kind::Never, 0 }) \
    X(Kernel32, TlsGetValue, { Kind::Never, 0 }) \
    X(Kernel32, VirtualProtect, { Kind::Never, 0 }) \
    X(Kernel32, VirtualQuery, { Kind::Never, 0 }) \
    X(Kernel32, WideCharToMultiByte, { Kind::Zero, ERROR_INSUFFICIENT_BUFFER }, { Kind::Zero, ERROR_NO_UNICODE_TRANSLATION }) \
    X(Kernel32, lstrcatA, { Kind::Null, ERROR_INVALID_PARAMETER }) \
    X(Kernel32, lstrlenA, { Kind::Never, 0 }) \
    X(Msvcrt, _vsnprintf, { Kind::Never, 0 }) \
    X(Msvcrt, calloc, { Kind::Null, ERROR_NOT_ENOUGH_MEMORY }) \
    X(Msvcrt, free, { Kind::Never, 0 }) \
    X(Msvcrt, malloc, { Kind::Null, ERROR_NOT_ENOUGH_MEMORY }) \
    X(Msvcrt, memcpy, { Kind::Never, 0 }) \
    X(Msvcrt, strlen, { Kind::Never, 0 }) \
    X(Msvcrt, strncmp, { Kind::Never, 0 }) \
    X(Msvcrt, strstr, { Kind::Never, 0 }) \
    X(User32, BeginPaint, { Kind::Null, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, DialogBoxParamA, { Kind::MinusOne, ERROR_NOT_ENOUGH_MEMORY }, { Kind::MinusOne, ERROR_RESOURCE_NAME_NOT_FOUND }) \
    X(User32, DrawIcon, { Kind::Bool, ERROR_INVALID_CURSOR_HANDLE }) \
    X(User32, EndDialog, { Kind::Bool, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, EndPaint, { Kind::Never, 0 }) \
    X(User32, ExitWindowsEx, { Kind::Bool, ERROR_PRIVILEGE_NOT_HELD }, { Kind::Bool, ERROR_SHUTDOWN_IN_PROGRESS }) \
    X(User32, GetClientRect, { Kind::Bool, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, GetDlgItem, { Kind::Null, ERROR_CONTROL_ID_NOT_FOUND }) \
    X(User32, GetNextDlgTabItem, { Kind::Null, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, GetSystemMetrics, { Kind::Zero, 0 }) \
    X(User32, GetWindow, { Kind::Null, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, GetWindowRect, { Kind::Bool, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, GetWindowTextA, { Kind::Zero, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, GetWindowTextLengthA, { Kind::Zero, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, IsIconic, { Kind::Never, 0 }) \
    X(User32, IsWindowVisible, { Kind::Never, 0 }) \
    X(User32, LoadIconA, { Kind::Null, ERROR_RESOURCE_NAME_NOT_FOUND }) \
    X(User32, MessageBoxA, { Kind::Zero, ERROR_NOT_ENOUGH_MEMORY }) \
    X(User32, SendMessageA, { Kind::Never, 0 }) \
    X(User32, SetDlgItemTextA, { Kind::Bool, ERROR_CONTROL_ID_NOT_FOUND }) \
    X(User32, SetWindowPos, { Kind::Bool, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, SetWindowTextA, { Kind::Bool, ERROR_INVALID_WINDOW_HANDLE }) \
    X(User32, SystemParametersInfoA, { Kind::Bool, ERROR_INVALID_PARAMETER }) \
    FAULT_WINDOW_LONG_CALLS(X) \
    X(Powrprof, IsPwrHibernateAllowed, { Kind::Never, 0 }) \
    X(Powrprof, ReadGlobalPwrPolicy, { Kind::Bool, ERROR_ACCESS_DENIED }, { Kind::Bool, ERROR_FILE_NOT_FOUND }) \
    X(Powrprof, WriteGlobalPwrPolicy, { Kind::Bool, ERROR_ACCESS_DENIED }, { Kind::Bool, ERROR_REGISTRY_IO_FAILED })

// What the program imports but the sweep leaves alone: the C runtime's own
// start-up, exit, diagnostics and unwinding, and its data (some of which
// are functions on i686 and data on x86_64).
#define FAULT_UNREPLACED(Y) \
    Y(Kernel32, __C_specific_handler, Runtime) \
    Y(Msvcrt, __iob_func, Runtime) \
    Y(Msvcrt, _acmdln, Data) \
    Y(Msvcrt, _commode, Data) \
    Y(Msvcrt, _fmode, Data) \
    Y(Msvcrt, __getmainargs, Runtime) \
    Y(Msvcrt, __initenv, Data) \
    Y(Msvcrt, __p__acmdln, Runtime) \
    Y(Msvcrt, __p__commode, Runtime) \
    Y(Msvcrt, __p__fmode, Runtime) \
    Y(Msvcrt, __set_app_type, Runtime) \
    Y(Msvcrt, __setusermatherr, Runtime) \
    Y(Msvcrt, _amsg_exit, Runtime) \
    Y(Msvcrt, _cexit, Runtime) \
    Y(Msvcrt, _initterm, Runtime) \
    Y(Msvcrt, _ismbblead, Runtime) \
    Y(Msvcrt, _iob, Data) \
    Y(Msvcrt, _onexit, Runtime) \
    Y(Msvcrt, abort, Runtime) \
    Y(Msvcrt, exit, Runtime) \
    Y(Msvcrt, fprintf, Runtime) \
    Y(Msvcrt, fwrite, Runtime) \
    Y(Msvcrt, signal, Runtime) \
    Y(Msvcrt, vfprintf, Runtime)
// clang-format on

namespace faults {

struct Function {
    Module module;
    const char* name;
    Way ways[3];
    int wayCount;
};

// Every function of both tables, in their order: FAULT_CALLS first.
extern const Function kFunctions[];

// The function of that name, or nullptr.
const Function* FindFunction(const char* name);
// How many ways it can be made to fail (0 for Runtime, Data and Never).
int FailureWays(const Function& f);
// What a failing call of that kind answers, for reports: "FALSE", "null",
// "-1" and the like; the error, where there is one, is the way's own.
const char* KindName(Kind kind);

}  // namespace faults
