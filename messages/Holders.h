// The one owner of a handle, key, library or buffer: it releases what it
// holds exactly once, when it goes or takes another, also on early returns.
// It can be moved but not copied, so nothing is released twice. It lives
// here, below every module of the program but the framework (which holds
// nothing of its own), so that the program, the test bed and the tests all
// hold their resources with it. The owners the
// program uses are named below; the test bed names its own beside its code.
#pragma once

#include <windows.h>

#include <stdlib.h>

#include <type_traits>
#include <utility>

// Invalid is the value that holds nothing: T() unless the system's failure
// value is another. A pointer such as INVALID_HANDLE_VALUE cannot be a
// template argument, so it is given as the number it is made from.
template <typename T, auto Release, auto Invalid = T()>
class CUniqueResource {
public:
    CUniqueResource() = default;
    explicit CUniqueResource(T value) : m_value(value) {}
    ~CUniqueResource() { Reset(); }
    CUniqueResource(const CUniqueResource&) = delete;
    CUniqueResource& operator=(const CUniqueResource&) = delete;
    CUniqueResource(CUniqueResource&& other) noexcept : m_value(other.Detach()) {}
    CUniqueResource& operator=(CUniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    T Get() const { return m_value; }
    explicit operator bool() const { return m_value != Empty(); }
    // For calls that hand a new resource back through a pointer.
    T* Put()
    {
        Reset();
        return &m_value;
    }
    void Reset(T value = Empty())
    {
        if (m_value != Empty())
            Release(m_value);
        m_value = value;
    }
    // Gives the resource up unreleased: the caller owns it now.
    T Detach() { return std::exchange(m_value, Empty()); }

private:
    static T Empty()
    {
        if constexpr (std::is_same_v<decltype(Invalid), T>)
            return Invalid;
        else
            return reinterpret_cast<T>(Invalid);
    }

    T m_value = Empty();
};

// ---- The owners, one per way of giving a resource back ---------------------

// Tokens, processes, threads, pipes, events: handles that fail as null.
using CHandleHolder = CUniqueResource<HANDLE, &::CloseHandle>;
using CServiceHolder = CUniqueResource<SC_HANDLE, &::CloseServiceHandle>;
using CKeyHolder = CUniqueResource<HKEY, &::RegCloseKey>;
using CSidHolder = CUniqueResource<PSID, &::FreeSid>;
using CLibraryHolder = CUniqueResource<HMODULE, &::FreeLibrary>;
using CMallocHolder = CUniqueResource<void*, &::free>;
// What the system allocated for the caller (FormatMessage's text, a security
// descriptor), as the pointer type the call hands back.
template <typename T>
using CLocalHolder = CUniqueResource<T, &::LocalFree>;
