// The program's changes outside the power policy: the Heuristics flag, its
// own autostart value, and the restart of Windows. Each reports its own
// failure before it returns FALSE.
#pragma once

#include <windows.h>

#include "../messages/Holders.h"

// Owns one registry key handle (none at first) and closes it when it goes;
// it moves, and cannot be copied, as the key owner it holds the key in.
// Each operation answers the registry call's result code, 0 for success.
class CRegKeyHolder {
public:
    // Opens with KEY_ALL_ACCESS. A held key is closed and replaced only once
    // the new one is open; on failure the held key stays.
    LONG Open(HKEY hRoot, LPCSTR pszPath);
    // Reads the named value into pData, offering *pcbData bytes; afterwards
    // *pcbData is the value's size. A null pData asks for the size alone.
    LONG Query(LPCSTR pszName, BYTE* pData, DWORD* pcbData);
    LONG SetBinary(LPCSTR pszName, const BYTE* pData, DWORD cbData);
    LONG DeleteValue(LPCSTR pszName);
    LONG Flush();

private:
    CKeyHolder m_key;
};

// Sets byte 6 of the power "Heuristics" value to 1 (enable TRUE) or 0 and
// keeps every other byte. TRUE when the value was written.
BOOL SetHeuristicsFlag(BOOL enable);

// Deletes the program's own autostart value. TRUE when it was deleted.
BOOL RemoveAutostartEntry();

// Enables the shutdown privilege and asks Windows to end the session with
// these ExitWindowsEx flags. FALSE after a reported failure.
BOOL RestartSystem(UINT flags);
