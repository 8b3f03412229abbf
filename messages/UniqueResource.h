// The one owner of a handle, key, library or buffer: it releases what it
// holds exactly once, when it goes or takes another, also on early returns.
// It can be moved but not copied, so nothing is released twice. It lives
// here, the lowest of the program's modules, so that the program, the test
// bed and the tests all hold their resources with it.
#pragma once

#include <utility>

template <typename T, auto Release>
class CUniqueResource {
public:
    CUniqueResource() = default;
    explicit CUniqueResource(T value) : m_value(value) {}
    ~CUniqueResource() { Reset(); }
    CUniqueResource(const CUniqueResource&) = delete;
    CUniqueResource& operator=(const CUniqueResource&) = delete;
    CUniqueResource(CUniqueResource&& other) noexcept : m_value(std::exchange(other.m_value, T())) {}
    CUniqueResource& operator=(CUniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.m_value, T()));
        return *this;
    }

    T Get() const { return m_value; }
    explicit operator bool() const { return m_value != T(); }
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
