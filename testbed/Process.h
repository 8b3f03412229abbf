// Starting Windows programs from a test: the real Sentavio.exe among them.
#pragma once

#include <windows.h>

#include <string>

namespace process {

// The built Sentavio.exe, as a Windows path (Wine maps / to drive Z:).
std::string SentavioExe();
std::string DosPath(const std::string& unixPath);

// A started program; ended by force if it still runs when the object goes.
class Child {
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts commandLine with the creation flags given (DEBUG_ONLY_THIS_PROCESS,
    // say), its standard output to `output` if given (an inheritable handle);
    // FALSE if the system refused, GetLastError telling why.
    bool Start(const std::string& commandLine, DWORD flags = 0, HANDLE output = nullptr);
    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }
    // TRUE and the exit code once the program has ended within timeoutMs.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);

private:
    PROCESS_INFORMATION m_info = {};
};

}  // namespace process
