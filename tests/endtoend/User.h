// The user at the real Sentavio.exe: starts it, answers each window it
// shows the way a person would, and tells what was seen. Shared by the
// end-to-end table and the tool sentavio-user.exe (main job, restart test).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/Robot.h"

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
    std::vector<Seen> windows;
};

// Words for the command line: "yes", "no", "cancel", "ok". FALSE for others.
bool ParseChoice(const std::string& word, Choice& choice);
const char* KindName(Kind kind);

// Runs the program and answers until it ends or timeoutMs have passed.
// onSeen hears of each window before it is answered: after a restart was
// agreed, nothing of this process may be left to report later.
Session RunSentavio(const std::string& commandLine, const Answers& answers, DWORD timeoutMs = 20000,
                    const std::function<void(const Seen&)>& onSeen = {});

}  // namespace user
