// Owners for the handles the test bed opens: one owner each, closed when it
// goes, never copied.
#pragma once

#include <windows.h>

#include <utility>

namespace testbed {

template <typename T, auto Close>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : m_value(value) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_value(std::exchange(other.m_value, T())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_value, T()));
        return *this;
    }

    T get() const { return m_value; }
    explicit operator bool() const { return m_value != T(); }
    // For functions that hand a new handle back through a pointer.
    T* put()
    {
        reset();
        return &m_value;
    }
    void reset(T value = T())
    {
        if (m_value != T())
            Close(m_value);
        m_value = value;
    }

private:
    T m_value = T();
};

using UniqueServiceHandle = UniqueHandle<SC_HANDLE, &CloseServiceHandle>;
using UniqueKey = UniqueHandle<HKEY, &RegCloseKey>;
using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;

}  // namespace testbed
