#include "RegistryEdits.h"

// Placeholders until the registry edits and the restart are built.

BOOL SetHeuristicsFlag(BOOL)
{
    return FALSE;
}

BOOL RemoveAutostartEntry()
{
    return FALSE;
}

BOOL RestartSystem(UINT)
{
    return FALSE;
}
