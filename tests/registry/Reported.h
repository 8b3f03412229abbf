// Runs an operation of the program while the robot dismisses the error boxes
// it shows, and gives what the user saw.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/support/Handles.h"
#include "tests/support/Texts.h"
#include "tests/testbed/Robot.h"

namespace reported {

struct Outcome {
    BOOL result = -1;
    bool handlesClosed = false;  // the operation left no handle open, closed no invalid one
    std::string boxes;  // each box's text, as shown, one line "--" apart
};

using texts::SystemText;
using robot::Visible;

inline Outcome Run(const std::function<BOOL()>& operation)
{
    Outcome outcome;
    const handles::CWatch watch;
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
    outcome.handlesClosed = watch.Unchanged() && watch.InvalidCloses() == 0;
    return outcome;
}

// What a box for this error code shows; nothing for 0.
inline std::string BoxFor(DWORD code)
{
    return code != 0 ? SystemText(code) : std::string();
}

}  // namespace reported
