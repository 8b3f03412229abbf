// The owners only the test bed and the tests use, beside the program's own.
#pragma once

#include "messages/Holders.h"

#include <functional>

// Handles that fail as INVALID_HANDLE_VALUE: CreateFile, CreateToolhelp32Snapshot.
using CFileHolder = CUniqueResource<HANDLE, &::CloseHandle, LONG_PTR(-1)>;

// Drawing resources, for the screenshots.
inline int ReleaseScreenDC(HDC dc)
{
    return ::ReleaseDC(nullptr, dc);
}
using CScreenDCHolder = CUniqueResource<HDC, &ReleaseScreenDC>;
using CDCHolder = CUniqueResource<HDC, &::DeleteDC>;
using CBitmapHolder = CUniqueResource<HBITMAP, &::DeleteObject>;

// Puts back what a test changed, however the test ends.
class CUndo {
public:
    explicit CUndo(std::function<void()> undo) : m_undo(std::move(undo)) {}
    ~CUndo() { m_undo(); }
    CUndo(const CUndo&) = delete;
    CUndo& operator=(const CUndo&) = delete;

private:
    std::function<void()> m_undo;
};
