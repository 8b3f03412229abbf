#include "Robot.h"

#include "messages/Holders.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace robot {

namespace {

// Looks every everyMs until done() holds; FALSE if it still does not after timeoutMs.
template <typename Done>
bool WaitFor(DWORD timeoutMs, DWORD everyMs, Done done)
{
    for (const DWORD start = GetTickCount(); !done(); Sleep(everyMs))
        if (GetTickCount() - start >= timeoutMs)
            return false;
    return true;
}

// A message answered within 2 s, or 0 from a window that hangs. Not SMTO_ABORTIFHUNG: a box is
// visible before its modal loop first waits for a message, and Wine calls a thread hung that has not
// asked for one in 5 s and is not waiting, so on a busy machine a new box was read as empty.
DWORD_PTR Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_NORMAL, 2000, &result);
    return result;
}

GUITHREADINFO GuiInfo(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info;
}

template <typename Each>
BOOL CALLBACK CallEach(HWND hwnd, LPARAM each)
{
    return (*reinterpret_cast<Each*>(each))(hwnd) ? TRUE : FALSE;
}

// Hands each(hwnd) the children of `parent`, or with nullptr every top-level window, until it answers false.
template <typename Each>
void ForEachWindow(HWND parent, Each each)
{
    if (parent == nullptr)
        EnumWindows(CallEach<Each>, reinterpret_cast<LPARAM>(&each));
    else
        EnumChildWindows(parent, CallEach<Each>, reinterpret_cast<LPARAM>(&each));
}

std::string ClassOf(HWND hwnd)
{
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

// Returns once the window and its controls have painted what the last step changed, at most 2 s later.
// A window takes posted input before it paints, so a step that followed at once would make the program
// paint once where it otherwise paints twice: its runs would differ by the time between two steps.
void WaitUntilPainted(HWND window)
{
    WaitFor(2000, 5, [window] {
        bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
        ForEachWindow(window, [&unpainted](HWND child) {
            unpainted = unpainted || GetUpdateRect(child, nullptr, FALSE) != FALSE;
            return !unpainted;
        });
        return !unpainted;
    });
}

struct RobotJob {
    const std::vector<Answer>* answers;
    DWORD timeoutMs;
    volatile LONG actionDone;  // Interlocked: the action's thread sets it
    std::vector<Window> seen;
};

DWORD WINAPI RobotThread(LPVOID param)
{
    auto* job = static_cast<RobotJob*>(param);
    std::vector<HWND> handled;
    for (const Answer& answer : *job->answers) {
        HWND hwnd = nullptr;
        WaitFor(job->timeoutMs, 0, [&] {
            if (InterlockedCompareExchange(&job->actionDone, 0, 0) != 0)
                return true;
            hwnd = WaitForWindow(GetCurrentProcessId(), 50, handled);
            return hwnd != nullptr;
        });
        if (hwnd == nullptr)
            return 0;
        job->seen.push_back(Read(hwnd));
        handled.push_back(hwnd);
        answer(hwnd);
        // An answer that did not end the window would leave the action
        // waiting for ever: the test fails on what it saw instead.
        if (!WaitUntilGone(hwnd, job->timeoutMs)) {
            std::fprintf(stderr, "robot: \"%s\" still up %lu ms after its answer; closed\n",
                         job->seen.back().caption.c_str(), static_cast<unsigned long>(job->timeoutMs));
            CloseBox(hwnd);
        }
    }
    return 0;
}

}  // namespace

const Control* Window::Find(int id) const
{
    for (const Control& c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

std::string Window::StaticText() const
{
    std::string all;
    for (const Control& c : controls)
        if (lstrcmpiA(c.className.c_str(), "Static") == 0 && !c.text.empty())
            all += (all.empty() ? "" : "\n") + c.text;
    return all;
}

std::vector<int> Window::Buttons() const
{
    std::vector<int> ids;
    for (const Control& c : controls)
        if (lstrcmpiA(c.className.c_str(), "Button") == 0 && (c.style & WS_VISIBLE))
            ids.push_back(c.id);
    return ids;
}

HWND WaitForWindow(DWORD processId, DWORD timeoutMs, const std::vector<HWND>& seen)
{
    HWND found = nullptr;
    WaitFor(timeoutMs, 20, [&] {
        ForEachWindow(nullptr, [&](HWND hwnd) {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == processId && IsWindowVisible(hwnd) && std::find(seen.begin(), seen.end(), hwnd) == seen.end())
                found = hwnd;
            return found == nullptr;
        });
        return found != nullptr;
    });
    return found;
}

bool WaitUntilGone(HWND hwnd, DWORD timeoutMs)
{
    return WaitFor(timeoutMs, 20, [hwnd] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); });
}

std::string Text(HWND hwnd)
{
    // GetWindowText does not reach another process's edit controls.
    const DWORD_PTR length = Send(hwnd, WM_GETTEXTLENGTH);
    std::string text(length + 1, '\0');
    text.resize(Send(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0])));
    return text;
}

std::string Visible(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

Window Read(HWND hwnd)
{
    Window w;
    w.hwnd = hwnd;
    w.caption = Text(hwnd);
    w.className = ClassOf(hwnd);
    w.style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
    w.exStyle = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE));
    w.owner = GetWindow(hwnd, GW_OWNER);
    GetWindowRect(hwnd, &w.rect);
    ForEachWindow(hwnd, [&w](HWND child) {
        if (GetParent(child) != w.hwnd)
            return true;
        Control c;
        c.hwnd = child;
        c.id = GetDlgCtrlID(child);
        c.className = ClassOf(child);
        c.text = Text(child);
        c.style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        c.exStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE));
        GetWindowRect(child, &c.rect);
        w.controls.push_back(c);
        return true;
    });
    for (const Control& c : w.controls)
        if (lstrcmpiA(c.className.c_str(), "Static") == 0 && (c.style & SS_TYPEMASK) == SS_ICON)
            w.icon = reinterpret_cast<HICON>(Send(c.hwnd, STM_GETICON));
    return w;
}

HWND Focus(HWND window)
{
    return GuiInfo(window).hwndFocus;
}

HWND SettledFocus(HWND window)
{
    HWND focus = nullptr;
    WaitFor(1000, 20, [&] { return (focus = Focus(window)) != nullptr; });
    return focus;
}

void Click(HWND window, int id)
{
    PostMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0);
}

void SetCheck(HWND window, int id, bool checked)
{
    HWND box = GetDlgItem(window, id);
    if ((Send(box, BM_GETCHECK) == BST_CHECKED) != checked) {
        Send(box, BM_CLICK);
        WaitUntilPainted(window);
    }
}

void FocusControl(HWND window, int id)
{
    Send(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, id)), TRUE);
    WaitUntilPainted(window);
}

void PressKey(HWND control, UINT vk)
{
    // Posted to no window, the key would go to this thread's own queue: no control has the focus when
    // the dialog's thread is not the active one (another program's window took the foreground).
    if (control == nullptr) {
        std::fprintf(stderr, "robot: no control has the focus to press key %u on\n", vk);
        return;
    }
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(control, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(control, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void CloseBox(HWND window)
{
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool Activate(HWND window)
{
    // Sending WM_NULL returns once the thread has taken every message before
    // it: a handover of the foreground reaches a thread as a message.
    const auto Settle = [](HWND hwnd) { Send(hwnd, WM_NULL); };
    HWND desktop = GetDesktopWindow();
    for (int attempt = 0; attempt < 5; ++attempt) {
        Settle(window);
        SetForegroundWindow(desktop);
        Settle(window);
        Settle(desktop);
        SetForegroundWindow(window);
        Settle(window);
        // The X server's word that the window lost the focus to the desktop can reach it after the
        // foreground came back, and hands the foreground to the desktop again: then once more.
        Sleep(100);
        Settle(window);
        if (GetForegroundWindow() == window && GuiInfo(window).hwndActive == window)
            return true;
    }
    return false;
}

std::vector<Window> RunAndAnswer(const std::function<void()>& action,
                                 const std::vector<Answer>& answers, DWORD timeoutMs)
{
    RobotJob job = { &answers, timeoutMs, 0, {} };
    const CHandleHolder thread(CreateThread(nullptr, 0, RobotThread, &job, 0, nullptr));
    // Unanswered, the action's first window would wait for ever, and no
    // window seen would pass for none shown: no test can go on.
    if (!thread) {
        std::fprintf(stderr, "robot: no thread to answer windows (error %lu)\n", GetLastError());
        std::exit(EXIT_FAILURE);
    }
    action();
    InterlockedExchange(&job.actionDone, 1);
    WaitForSingleObject(thread.Get(), INFINITE);
    return job.seen;
}

}  // namespace robot
