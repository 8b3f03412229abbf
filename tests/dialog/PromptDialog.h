#pragma once

#include <windows.h>

#include <string>

#include "tests/support/Texts.h"

namespace prompt {

// The face the system chose for the font on this window: the one asked for,
// or a substitute of other metrics when the machine lacks it.
inline std::string FaceOf(HWND window, HFONT font)
{
    char face[LF_FACESIZE] = {};
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextFaceA(dc, sizeof(face), face);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return face;
}

// The language that the locale named in the environment asks for, so that a
// locale the platform ignored cannot pass as English.
inline LANGID RequestedLanguage()
{
    const char* locale = getenv("LC_ALL");
    if (locale == nullptr || *locale == '\0')
        locale = getenv("LANG");
    for (const texts::Language& l : texts::Languages)
        if (locale != nullptr && strncmp(locale, l.locale, 5) == 0)
            return l.id;
    return 0;
}

}  // namespace prompt
