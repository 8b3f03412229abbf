// A test robot for windows of any process: finds a process's top-level window, reads it and its
// controls, and presses buttons and keys the way a user would. With doctest built for one thread, a
// robot on a second thread only records what it sees; the test's own thread makes the assertions.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace robot {

struct Control {
    HWND hwnd = nullptr;
    int id = 0;
    std::string className;
    std::string text;
    DWORD style = 0, exStyle = 0;
    RECT rect = {};  // screen coordinates
};

struct Window {
    HWND hwnd = nullptr;
    std::string caption;
    std::string className;
    DWORD style = 0, exStyle = 0;
    RECT rect = {};
    HWND owner = nullptr;
    std::vector<Control> controls;  // in z-order, which is the template's order

    const Control* Find(int id) const;
    std::string StaticText() const;  // the static controls' texts, a line each: what a box says
    HICON icon = nullptr;  // what its icon control showed when it was read
    std::vector<int> Buttons() const;  // the visible buttons' ids
};

// The first visible top-level window of the process that is not in `seen`;
// nullptr after timeoutMs.
HWND WaitForWindow(DWORD processId, DWORD timeoutMs, const std::vector<HWND>& seen = {});
bool WaitUntilGone(HWND hwnd, DWORD timeoutMs);

std::string Text(HWND hwnd);
Window Read(HWND hwnd);
// A text as a message box shows it: without the line breaks it ends in.
std::string Visible(std::string text);

// The control that has the keyboard focus on the window's thread; SettledFocus waits up to a second
// for the dialog manager to give the first focus after the window showed.
HWND Focus(HWND window);
HWND SettledFocus(HWND window);

void Click(HWND window, int id);           // the user clicks a button
void SetCheck(HWND window, int id, bool checked);  // ticks or clears a check box by clicking it
void FocusControl(HWND window, int id);    // moves the focus like the Tab key
void PressKey(HWND control, UINT vk);      // a key pressed and released on a control
void CloseBox(HWND window);                // the title bar's close box

// What the shell does for the program a logon starts: its new window becomes the active one, caption
// and all. Wine makes a new dialog the foreground window but paints its caption inactive: the first
// focus activates the dialog while hidden, against the foreground of that moment (another window),
// and showing it then repaints nothing. So the foreground goes to the desktop and back, each
// handover awaited. FALSE if the window is not the foreground window then.
bool Activate(HWND window);

// What the robot does with one window: press something that answers it.
using Answer = std::function<void(HWND)>;

// Runs `action` on the calling thread while a robot thread answers, in turn, each new top-level
// window of this process with the next answer. Returns the windows as they were when they appeared.
// The robot gives up on a window that does not come within timeoutMs, or when the action returns,
// and closes a window still up timeoutMs after its answer.
std::vector<Window> RunAndAnswer(const std::function<void()>& action,
                                 const std::vector<Answer>& answers, DWORD timeoutMs = 10000);

}  // namespace robot
