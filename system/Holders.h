// Owners of the system resources the probes and edits open.
#pragma once

#include <windows.h>

#include <stdlib.h>

#include "../messages/UniqueResource.h"

using CHandleHolder = CUniqueResource<HANDLE, &::CloseHandle>;
using CServiceHandle = CUniqueResource<SC_HANDLE, &::CloseServiceHandle>;
using CSidHolder = CUniqueResource<PSID, &::FreeSid>;
using CLibraryHolder = CUniqueResource<HMODULE, &::FreeLibrary>;
using CHeapBlock = CUniqueResource<void*, &::free>;
