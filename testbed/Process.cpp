#include "Process.h"

namespace process {

std::string DosPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string SentavioExe()
{
    return DosPath(SENTAVIO_EXE);
}

Child::~Child()
{
    if (m_info.hProcess != nullptr) {
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_info.hProcess, 1);
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
    }
}

bool Child::Start(const std::string& commandLine, DWORD flags, HANDLE output)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    std::string mutableLine = commandLine;
    return CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, output != nullptr, flags, nullptr,
                          nullptr, &startup, &m_info) != FALSE;
}

bool Child::Wait(DWORD timeoutMs, DWORD* exitCode)
{
    if (WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode != nullptr)
        GetExitCodeProcess(m_info.hProcess, exitCode);
    return true;
}

}  // namespace process
