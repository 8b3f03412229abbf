// The program's changes outside the power policy: the Heuristics flag, its
// own autostart value, and the restart of Windows. Each reports its own
// failure before it returns FALSE.
#pragma once

#include <windows.h>

BOOL SetHeuristicsFlag(BOOL enable);
BOOL RemoveAutostartEntry();
BOOL RestartSystem(UINT flags);
