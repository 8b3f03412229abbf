// Starting Windows programs from a test: the real Sentavio.exe among them.
#pragma once

#include <windows.h>

#include <string>

#include "messages/Holders.h"

namespace process {

// A path of the build machine as Windows programs see it: Wine maps / to drive Z:. Inline, so that the
// machine's library, which starts nothing, shares it without linking what starts programs.
inline std::string DosPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// The built Sentavio.exe, as a Windows path.
std::string SentavioExe();
// The fault build, sentavio-faults.exe, the same way.
std::string FaultBuildExe();

// A started program; ended by force if it still runs when the object goes or takes another.
class Child {
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts commandLine with these creation flags, its standard output to `output` if given (an
    // inheritable handle); FALSE if the system refused, GetLastError telling why, the old one kept.
    bool Start(const std::string& commandLine, DWORD flags = 0, HANDLE output = nullptr);
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }
    // TRUE and the exit code once the program has ended within timeoutMs.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);

private:
    // Ends the program held, if it still runs, and lets it go.
    void End();

    CHandleHolder m_process, m_thread;
    DWORD m_id = 0;
};

}  // namespace process
