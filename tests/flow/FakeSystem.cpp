#include "FakeSystem.h"

#include <cstdio>

#include "system/Probes.h"
#include "system/RegistryEdits.h"

namespace fake {

namespace {

Machine g_machine;
std::string g_log;
CRITICAL_SECTION g_lock;
bool g_lockReady = false;

}  // namespace

void Reset(const Machine& machine)
{
    if (!g_lockReady) {
        InitializeCriticalSection(&g_lock);
        g_lockReady = true;
    }
    g_machine = machine;
    g_log.clear();
}

void Record(const std::string& what)
{
    EnterCriticalSection(&g_lock);
    if (!g_log.empty())
        g_log += ' ';
    g_log += what;
    LeaveCriticalSection(&g_lock);
}

std::string Log()
{
    EnterCriticalSection(&g_lock);
    std::string copy = g_log;
    LeaveCriticalSection(&g_lock);
    return copy;
}

}  // namespace fake

using fake::g_machine;

COSVersionInfo::COSVersionInfo() : m_osvi(), m_bWin32s(FALSE), m_bWinNT(FALSE), m_bWin9x(FALSE)
{
    m_osvi.dwPlatformId = g_machine.platform;
    m_osvi.dwMajorVersion = g_machine.major;
    m_bWinNT = g_machine.platform == VER_PLATFORM_WIN32_NT;
    m_bWin9x = g_machine.platform == VER_PLATFORM_WIN32_WINDOWS;
}

BOOL IsAdministrator()
{
    fake::Record("admin");
    return g_machine.admin;
}

BOOL CServiceQuery::UsesDriverFile(LPCSTR serviceName, LPCSTR fileName)
{
    fake::Record(std::string("driver(") + serviceName + "," + fileName + ")");
    return g_machine.driver;
}

HibernateState IsHibernateAllowed()
{
    fake::Record("hibernate");
    return g_machine.hibernate;
}

BOOL ReadDischargeSettings(DischargeSettings& out)
{
    fake::Record("read");
    if (g_machine.readOk)
        out = g_machine.settings;
    return g_machine.readOk;
}

BOOL WriteDischargeSettings(const DischargeSettings& in)
{
    char text[80];
    std::snprintf(text, sizeof(text), "write(%lu,%lu,%lu,%lu,%lu)", in.dwCriticalAlarmEnabled,
                  in.dwLowAlarmEnabled, in.dwCriticalLevel, in.dwCriticalAction, in.dwCriticalEventCode);
    fake::Record(text);
    return g_machine.writeOk;
}

BOOL SetHeuristicsFlag(BOOL enable)
{
    fake::Record(std::string("heuristics(") + (enable ? "TRUE" : "FALSE") + ")");
    return g_machine.heuristicsOk;
}

BOOL RemoveAutostartEntry()
{
    fake::Record("remove");
    return g_machine.removeOk;
}

BOOL RestartSystem(UINT flags)
{
    fake::Record("restart(" + std::to_string(flags) + ")");
    return TRUE;
}
