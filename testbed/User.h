// The one way to run the real Sentavio.exe and follow it: starts it, answers
// each window it shows the way a person would, and tells what was seen and
// how it ended. Every test that runs the program uses it, and so does the
// tool sentavio-user.exe (the main job, the restart test).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "testbed/Process.h"
#include "testbed/Robot.h"

namespace user {

enum class Choice {
    Yes,
    No,
    Cancel,
    Ok,  // Enter on the check box: the framework's own OK command
};

struct Answers {
    Choice choice = Choice::Cancel;
    bool tick = false;     // "Don't display this message again."
    bool restart = false;  // the answer to the restart question
    std::string screenshot;  // where to save the prompt as a bitmap, if anywhere
    bool person = false;     // a person at the display answers: only watch
};

enum class Kind { Prompt, RestartQuestion, ErrorBox, Other };

struct Seen {
    Kind kind = Kind::Other;
    robot::Window window;
    std::string text;  // a box's text without its trailing line breaks
};

struct Session {
    bool started = false;
    bool ended = false;  // within the time allowed
    DWORD exitCode = 0;  // once ended
    std::vector<Seen> windows;
    // Processes the program started that still ran when it ended: on Wine
    // the restart it asked for (ExitWindowsEx starts it and returns).
    int leftRunning = 0;
};

// Words for the command line: "yes", "no", "cancel", "ok". FALSE for others.
bool ParseChoice(const std::string& word, Choice& choice);
const char* KindName(Kind kind);
// What a window of the program is, by its controls.
Kind KindOf(const robot::Window& window);
// Answers one window of that kind. Answering a window again, as a user
// whose click did nothing would, clicks again but ticks nothing twice.
void Answer(HWND window, Kind kind, const Answers& answers);

// Runs Sentavio.exe (the built one unless another command line is given: an
// installed one, say) and answers until it ends or timeoutMs have passed; a
// program still running then is ended by force. The default answers cancel
// the prompt and dismiss every box. onSeen hears of each window before it
// is answered: after a restart was agreed, nothing of this process may be
// left to report later.
Session RunSentavio(const Answers& answers = {}, DWORD timeoutMs = 20000,
                    const std::function<void(const Seen&)>& onSeen = {},
                    const std::string& commandLine = process::SentavioExe());

}  // namespace user
