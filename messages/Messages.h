// Error boxes: every failure the program shows goes through these three.
#pragma once

#include <windows.h>

// The numbers of the program's texts (IDS_TITLE and the rest), by which
// every caller loads them.
#include "../res/resource.h"

// Shows text under the program's caption with the error icon and one OK
// button; returns when the user has dismissed it.
void ShowErrorBox(LPCSTR text);

// Shows the system's text for a system error code; code 0 shows the
// program's own "driver not for a device" text.
void ReportError(DWORD code);

// Shows the program's own text for a power policy that cannot be read or
// written.
void ShowRegistryError();
