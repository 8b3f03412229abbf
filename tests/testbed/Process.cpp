#include "Process.h"

namespace process {

std::string SentavioExe()
{
    return DosPath(SENTAVIO_EXE);
}

std::string FaultBuildExe()
{
    return DosPath(SENTAVIO_FAULTS_EXE);
}

Child::~Child()
{
    End();
}

void Child::End()
{
    if (m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT)
        TerminateProcess(m_process.Get(), 1);
    m_process.Reset();
    m_thread.Reset();
    m_id = 0;
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
    PROCESS_INFORMATION info = {};
    // Wine now and then refuses a start with ERROR_INTERNAL_ERROR while the machine is busy (seen on
    // 64-bit Wine with two suites on two cores). Nothing ran then, so another try starts the same run.
    for (int attempt = 1;; ++attempt) {
        std::string mutableLine = commandLine;
        if (CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, output != nullptr, flags, nullptr,
                           nullptr, &startup, &info))
            break;
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3)
            return false;
        Sleep(200);
    }
    End();
    m_process.Reset(info.hProcess);
    m_thread.Reset(info.hThread);
    m_id = info.dwProcessId;
    return true;
}

bool Child::Wait(DWORD timeoutMs, DWORD* exitCode)
{
    if (WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode != nullptr)
        GetExitCodeProcess(m_process.Get(), exitCode);
    return true;
}

}  // namespace process
