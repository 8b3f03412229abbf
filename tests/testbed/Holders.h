// The owners only the test bed and the tests use, beside the program's own.
#pragma once

#include "messages/Holders.h"

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
