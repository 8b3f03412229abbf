// The program's texts as the user must see them, in UTF-8, indexed by string
// number (index 0 unused), and the conversions tests need to compare them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/testbed/Robot.h"

namespace texts {

struct Language {
    LANGID id;
    const char* name;
    const char* const* table;
    const char* locale;  // the one the tests run it under
};
// The languages of res/languages.txt in its order, US English (the
// tests' own) first.
extern const std::vector<Language> Languages;

// The table for a language id, or nullptr when the program has none.
const char* const* TableFor(LANGID id);

std::string Utf8(const std::wstring& wide);
// UTF-8 to the ANSI code page, as the program loads its texts.
std::string Ansi(const std::string& utf8);

// The system's text for an error code, as a message box shows it.
std::string SystemText(DWORD code);
// One of the program's US English texts, as it loads them.
std::string Text(UINT id);

// What an operation did while the robot answered the windows it showed.
struct Outcome {
    std::vector<robot::Window> boxes;  // as each appeared
    bool handlesKept = false;          // the same handles open afterwards
    int invalidCloses = 0;             // closes of INVALID_HANDLE_VALUE meanwhile

    // It left no handle open and closed no invalid one.
    bool HandlesClosed() const { return handlesKept && invalidCloses == 0; }
};

// The one way the tests run an operation of the program: the robot answers each
// window it shows with the next answer (by default OK twice: one more than any
// operation may need, so a box too many shows) while the handle watch looks on.
Outcome Run(const std::function<void()>& operation, const std::vector<robot::Answer>& answers = {});
// The boxes an operation showed: none for an empty text, else one error box as
// the program shows it: the text under its title, the error icon, one OK button.
void CheckErrorBox(const std::vector<robot::Window>& boxes, const std::string& text);
// What a box for this error code says; nothing for 0.
std::string BoxFor(DWORD code);

}  // namespace texts
