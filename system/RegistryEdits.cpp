#include "RegistryEdits.h"

#include "../messages/Holders.h"
#include "../messages/Messages.h"
#include "Heuristics.h"

namespace {

const char kPowerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Power";
const char kHeuristicsValue[] = "Heuristics";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAutostartValue[] = "Sentavio";

}  // namespace

LONG CRegKeyHolder::Open(HKEY hRoot, LPCSTR pszPath)
{
    HKEY hKey = nullptr;
    LONG code = ::RegOpenKeyExA(hRoot, pszPath, 0, KEY_ALL_ACCESS, &hKey);
    if (code != ERROR_SUCCESS)
        return code;
    m_key.Reset(hKey);
    return ERROR_SUCCESS;
}

LONG CRegKeyHolder::Query(LPCSTR pszName, BYTE* pData, DWORD* pcbData)
{
    DWORD dwType = 0;
    return ::RegQueryValueExA(m_key.Get(), pszName, nullptr, &dwType, pData, pcbData);
}

LONG CRegKeyHolder::SetBinary(LPCSTR pszName, const BYTE* pData, DWORD cbData)
{
    return ::RegSetValueExA(m_key.Get(), pszName, 0, REG_BINARY, pData, cbData);
}

LONG CRegKeyHolder::DeleteValue(LPCSTR pszName)
{
    return ::RegDeleteValueA(m_key.Get(), pszName);
}

LONG CRegKeyHolder::Flush()
{
    return ::RegFlushKey(m_key.Get());
}

BOOL SetHeuristicsFlag(BOOL enable)
{
    CRegKeyHolder key;
    LONG code = key.Open(HKEY_LOCAL_MACHINE, kPowerKey);
    if (code != ERROR_SUCCESS) {
        ReportError(code);
        return FALSE;
    }

    // Ask for the stored size first: a value longer than 20 bytes is read,
    // and written back, whole.
    DWORD cbStored = 0;
    code = key.Query(kHeuristicsValue, nullptr, &cbStored);
    if (code == ERROR_FILE_NOT_FOUND) {
        cbStored = 0;
    } else if (code != ERROR_SUCCESS) {
        // Writing now would replace a value that exists but cannot be read.
        ReportError(code);
        return FALSE;
    }

    CMallocHolder value(::calloc(HeuristicsWriteSize(cbStored), 1));
    BYTE* pValue = static_cast<BYTE*>(value.Get());
    if (pValue == nullptr) {
        ReportError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    DWORD cbRead = 0;
    if (cbStored != 0) {
        cbRead = cbStored;
        code = key.Query(kHeuristicsValue, pValue, &cbRead);
        if (code != ERROR_SUCCESS) {
            ReportError(code);
            return FALSE;
        }
    }

    EditHeuristics(pValue, cbRead, enable);
    code = key.SetBinary(kHeuristicsValue, pValue, HeuristicsWriteSize(cbRead));
    if (code != ERROR_SUCCESS) {
        ReportError(code);
        return FALSE;
    }
    key.Flush();
    return TRUE;
}

BOOL RemoveAutostartEntry()
{
    CRegKeyHolder key;
    LONG code = key.Open(HKEY_LOCAL_MACHINE, kRunKey);
    if (code != ERROR_SUCCESS) {
        ReportError(code);
        return FALSE;
    }
    code = key.DeleteValue(kAutostartValue);
    if (code != ERROR_SUCCESS) {
        ReportError(code);
        return FALSE;
    }
    return TRUE;
}

BOOL RestartSystem(UINT flags)
{
    CHandleHolder token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            token.Put())) {
        ReportError(::GetLastError());
        return FALSE;
    }

    // Zero-filled, so a failed lookup passes an identifier that names no
    // privilege rather than whatever the stack held.
    TOKEN_PRIVILEGES privileges;
    ::ZeroMemory(&privileges, sizeof(privileges));
    ::LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Success without the privilege assigned still goes on: ExitWindowsEx
    // then reports what is missing.
    if (!::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr)) {
        ReportError(::GetLastError());
        return FALSE;
    }

    if (!::ExitWindowsEx(flags, 0)) {
        ReportError(::GetLastError());
        return FALSE;
    }
    return TRUE;
}
