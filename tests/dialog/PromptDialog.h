#pragma once

#include <windows.h>

#include <string>

namespace prompt {

// The face the system chose for the font on this window: the one asked for,
// or a substitute of other metrics when the machine lacks it.
std::string FaceOf(HWND window, HFONT font);
// The language that the locale named in the environment asks for, so that a
// locale the platform ignored cannot pass as English.
LANGID RequestedLanguage();

}  // namespace prompt
