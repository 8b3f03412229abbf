// Runs an operation of the program while the robot dismisses the error boxes
// it shows, and gives what the user saw.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/testbed/Robot.h"
#include "tests/support/Texts.h"

namespace reported {

struct Outcome {
    BOOL result = -1;
    bool handlesClosed = false;  // the operation left no key or token open
    std::string boxes;  // each box's text, as shown, one line "--" apart
};

using texts::SystemText;
using robot::Visible;

// The registry keys and access tokens the process holds open. Wine counts
// no handles (GetProcessHandleCount gives 0), and other threads take and
// give back handles of their own, so look at these two kinds only:
// try each handle value on a call that only a key or a token answers.
inline std::vector<HANDLE> OpenKeysAndTokens()
{
    std::vector<HANDLE> open;
    for (ULONG_PTR value = 4; value < 0x2000; value += 4) {
        HANDLE h = reinterpret_cast<HANDLE>(value);
        TOKEN_TYPE type = {};
        DWORD size = 0;
        if (RegQueryInfoKeyA(static_cast<HKEY>(h), nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS ||
            GetTokenInformation(h, TokenType, &type, sizeof(type), &size))
            open.push_back(h);
    }
    return open;
}

inline Outcome Run(const std::function<BOOL()>& operation)
{
    Outcome outcome;
    const robot::Answer ok = [](HWND box) { robot::Click(box, IDOK); };
    // Wine keeps a few registry keys open once the process has shown its
    // first window and box; let that happen before anything is measured.
    static const bool warm = !robot::RunAndAnswer([] { MessageBoxA(nullptr, "", "", MB_OK); }, { ok }).empty();
    REQUIRE(warm);
    // Measured while no robot thread runs: the window system opens keys of
    // its own for a thread while it runs (seen after a session restart).
    const std::vector<HANDLE> before = OpenKeysAndTokens();
    const robot::Answer read = [&](HWND box) {
        // The text as it settles, then OK.
        std::string text;
        for (int i = 0; i < 50 && text.empty(); ++i, Sleep(20))
            text = Visible(robot::Read(box).StaticText());
        outcome.boxes += (outcome.boxes.empty() ? "" : "\n--\n") + text;
        robot::Click(box, IDOK);
    };
    // One more answer than any operation may need: a second box would show.
    robot::RunAndAnswer([&] { outcome.result = operation(); }, { read, read });
    outcome.handlesClosed = OpenKeysAndTokens() == before;
    return outcome;
}

// What a box for this error code shows; nothing for 0.
inline std::string BoxFor(DWORD code)
{
    return code != 0 ? SystemText(code) : std::string();
}

}  // namespace reported
