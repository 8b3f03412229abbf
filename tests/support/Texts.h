// The program's texts as the user must see them, in UTF-8, indexed by string
// number (index 0 unused), and the conversions tests need to compare them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/testbed/Robot.h"

namespace texts {

using Table = const char* const[11];

extern Table English;
extern Table German;
extern Table French;
extern Table Italian;
extern Table Spanish;

struct Language {
    LANGID id;
    const char* name;
    const char* const* table;
    const char* locale;  // the one the tests run it under
};
extern const Language Languages[5];

// The table for a language id, or nullptr when the program has none.
const char* const* TableFor(LANGID id);

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// UTF-8 to the ANSI code page, as the program loads its texts.
std::string Ansi(const std::string& utf8);

// The system's text for an error code, as a message box shows it.
std::string SystemText(DWORD code);
// One of the program's English texts, as it loads them.
std::string Text(UINT id);

// Runs an operation while the robot answers up to two boxes with OK (one
// more than any operation may show), and gives the boxes it saw.
std::vector<robot::Window> Boxes(const std::function<void()>& action);
// The boxes an operation showed: none for an empty text, else one error box
// as the program shows it, the text under its title with the error icon and
// one OK button.
void CheckErrorBox(const std::vector<robot::Window>& boxes, const std::string& text);

}  // namespace texts
