// Owners of the system resources the probes and edits open: each releases
// its resource exactly once, also on early returns, and is never copied, so
// nothing is released twice.
#pragma once

#include <windows.h>

#include <stdlib.h>

template <typename T, auto Release>
class CUniqueResource {
public:
    CUniqueResource() = default;
    explicit CUniqueResource(T value) : m_value(value) {}
    ~CUniqueResource() { Reset(); }
    CUniqueResource(const CUniqueResource&) = delete;
    CUniqueResource& operator=(const CUniqueResource&) = delete;

    T Get() const { return m_value; }
    // For calls that hand a new resource back through a pointer.
    T* Put()
    {
        Reset();
        return &m_value;
    }
    void Reset(T value = T())
    {
        if (m_value != T())
            Release(m_value);
        m_value = value;
    }

private:
    T m_value = T();
};

using CHandleHolder = CUniqueResource<HANDLE, &::CloseHandle>;
using CServiceHandle = CUniqueResource<SC_HANDLE, &::CloseServiceHandle>;
using CSidHolder = CUniqueResource<PSID, &::FreeSid>;
using CLibraryHolder = CUniqueResource<HMODULE, &::FreeLibrary>;
using CHeapBlock = CUniqueResource<void*, &::free>;
