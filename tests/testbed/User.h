// The one way to run the real Sentavio.exe and follow it: starts it, answers each window it shows the
// way a person would, and tells what was seen and how it ended. Every test that runs the program uses
// it, and so does the tool sentavio-user.exe (the main job, the restart test).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/testbed/Process.h"
#include "tests/testbed/Robot.h"

namespace user {

// Ok: Enter on the check box, the framework's own OK command.
enum class Choice { Yes, No, Cancel, Ok };

struct Answers {
    Choice choice = Choice::Cancel;
    bool tick = false;     // "Don't display this message again."
    bool restart = false;  // the answer to the restart question
    std::string screenshot{};  // where to save the prompt as a bitmap, if anywhere ({}: a row may stop before it)
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
    DWORD startError = 0;  // the system's error code when it did not start
    bool ended = false;    // within the time allowed
    DWORD exitCode = 0;    // once ended
    bool windowUpAtBound = false;  // not ended, and a window of it still up
    std::vector<Seen> windows;
    // Processes it started that still ran when it ended: on Wine the restart it asked for
    // (ExitWindowsEx starts it and returns).
    int leftRunning = 0;
};

// Hears each debug event of the program, with its process handle, before the program goes on.
using DebugObserver = std::function<void(const DEBUG_EVENT& event, HANDLE process)>;

struct RunOptions {
    // The built Sentavio.exe unless another is given: an installed one, say.
    std::string commandLine = process::SentavioExe();
    // "Name:n[:way]": the fault build runs instead, that call failing as tests/faults/FaultCalls.h
    // lists (what a test's CFault does in its own process).
    std::string fault;
    DWORD timeoutMs = 20000;
    // A window still up this long after it was answered is answered again, as a user whose click did
    // nothing would; 0: each is answered once.
    DWORD answerAgainMs = 0;
    // Hears of each window before it is answered: after a restart was agreed, nothing of this process
    // may be left to report later.
    std::function<void(const Seen&)> onSeen;
    // Given, the program runs under the caller as its debugger; each event is taken as it comes, so the
    // program is never held up.
    DebugObserver onDebugEvent;
};

// Words for the command line: "yes", "no", "cancel", "ok". FALSE for others.
bool ParseChoice(const std::string& word, Choice& choice);
const char* KindName(Kind kind);
// The windows in words: each one's kind, and but for the prompt its text.
std::string Describe(const std::vector<Seen>& windows);
// Answers one window of that kind; answering again clicks again but ticks nothing twice.
void Answer(HWND window, Kind kind, const Answers& answers);

// The window as it shows on screen, active as at a logon, once its focus has settled and every control
// has painted, in a 24-bit bitmap file: how the tests and the scripts take pictures of the prompt.
bool SaveScreenshot(HWND window, const std::string& path);

// Runs the program and answers until it ends or options.timeoutMs have passed; a program still running
// then is ended by force. The default answers cancel the prompt and dismiss every box.
Session RunSentavio(const Answers& answers = {}, const RunOptions& options = {});

}  // namespace user
