#include "User.h"

#include "res/resource.h"
#include "tests/testbed/Holders.h"
#include "tests/testbed/Process.h"

#include <tlhelp32.h>

#include <algorithm>

namespace user {

bool SaveScreenshot(HWND window, const std::string& path)
{
    robot::SettledFocus(window);
    robot::Activate(window);
    // Every control paints before this returns.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rect = {};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const CScreenDCHolder screen(GetDC(nullptr));
    const CDCHolder memory(CreateCompatibleDC(screen.Get()));
    const CBitmapHolder bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
    if (!screen || !memory || !bitmap)
        return false;
    HGDIOBJ old = SelectObject(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
    SelectObject(memory.Get(), old);

    BITMAPINFOHEADER info = { sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0 };
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
    GetDIBits(memory.Get(), bitmap.Get(), 0, static_cast<UINT>(height), pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    const CFileHolder out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!out)
        return false;
    DWORD written = 0;
    return WriteFile(out.Get(), &file, sizeof(file), &written, nullptr) &&
           WriteFile(out.Get(), &info, sizeof(info), &written, nullptr) &&
           WriteFile(out.Get(), pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
}

namespace {

void AnswerPrompt(HWND prompt, const Answers& answers)
{
    if (!answers.screenshot.empty())
        SaveScreenshot(prompt, answers.screenshot);
    if (answers.tick)
        robot::SetCheck(prompt, IDC_DONT_SHOW_AGAIN, true);
    if (answers.choice != Choice::Ok) {
        robot::Click(prompt, answers.choice == Choice::Yes  ? IDYES
                             : answers.choice == Choice::No ? IDNO
                                                            : IDCANCEL);
        return;
    }
    robot::FocusControl(prompt, IDC_DONT_SHOW_AGAIN);
    robot::PressKey(robot::SettledFocus(prompt), VK_RETURN);
}

// What a window of the program is, by its controls.
Kind KindOf(const robot::Window& window)
{
    if (window.Find(IDC_DONT_SHOW_AGAIN) != nullptr)
        return Kind::Prompt;
    const std::vector<int> buttons = window.Buttons();
    if (buttons == std::vector<int>{ IDYES, IDNO })
        return Kind::RestartQuestion;
    if (buttons == std::vector<int>{ IDOK })
        return Kind::ErrorBox;
    return Kind::Other;
}

// How long the loop waits between looks for new windows.
constexpr DWORD kLookEveryMs = 20;

// Takes the debugged program's next event, if one comes within timeoutMs, tells the observer and lets
// the program go on. Exceptions other than a breakpoint go back unhandled, as if no debugger watched.
void TakeDebugEvent(HANDLE process, const DebugObserver& observer, DWORD timeoutMs)
{
    DEBUG_EVENT event = {};
    if (!WaitForDebugEvent(&event, timeoutMs))
        return;
    // The image files these events hand over are ours to close.
    const CHandleHolder file(event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT ? event.u.CreateProcessInfo.hFile
                             : event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT     ? event.u.LoadDll.hFile
                                                                                  : nullptr);
    observer(event, process);
    const bool fault = event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                       event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT;
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, fault ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
}

int ChildrenOf(DWORD processId)
{
    const CFileHolder snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return 0;
    int children = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry))
        if (entry.th32ParentProcessID == processId)
            ++children;
    return children;
}

// Watches and answers until the program ends or the time allowed is up.
void WatchUntilEnd(process::Child& child, const Answers& answers, const RunOptions& options, Session& session)
{
    struct Answered {
        HWND hwnd;
        Kind kind;
        DWORD at;
    };
    std::vector<HWND> seenWindows;
    std::vector<Answered> answered;
    const DWORD start = GetTickCount();
    while (!session.ended && GetTickCount() - start < options.timeoutMs) {
        // A window not seen before is read, reported and answered.
        if (HWND hwnd = robot::WaitForWindow(child.Id(), 0, seenWindows)) {
            Seen seen;
            seen.window = robot::Read(hwnd);
            seen.kind = KindOf(seen.window);
            seen.text = robot::Visible(seen.window.StaticText());
            session.windows.push_back(seen);
            seenWindows.push_back(hwnd);
            if (options.onSeen)
                options.onSeen(seen);
            if (!answers.person) {
                Answer(hwnd, seen.kind, answers);
                answered.push_back({ hwnd, seen.kind, GetTickCount() });
            }
        }
        // One still up answerAgainMs after its last answer is answered again.
        for (Answered& a : answered) {
            if (options.answerAgainMs != 0 && GetTickCount() - a.at >= options.answerAgainMs &&
                IsWindow(a.hwnd) && IsWindowVisible(a.hwnd)) {
                Answer(a.hwnd, a.kind, answers);
                a.at = GetTickCount();
            }
        }
        // A debugged program stops at each event until it is taken, so its wait is a wait for the next event.
        if (options.onDebugEvent)
            TakeDebugEvent(child.Handle(), options.onDebugEvent, kLookEveryMs);
        session.ended = child.Wait(options.onDebugEvent ? 0 : kLookEveryMs, &session.exitCode);
    }
}

}  // namespace

bool ParseChoice(const std::string& word, Choice& choice)
{
    static const char* const kWords[] = { "yes", "no", "cancel", "ok" };  // in the order of Choice
    const auto found = std::find(std::begin(kWords), std::end(kWords), word);
    if (found == std::end(kWords))
        return false;
    choice = static_cast<Choice>(found - std::begin(kWords));
    return true;
}

const char* KindName(Kind kind)
{
    static const char* const kNames[] = { "prompt", "restart question", "error box", "other window" };
    return kNames[static_cast<int>(kind)];
}

std::string Describe(const std::vector<Seen>& windows)
{
    std::string all;
    for (const Seen& w : windows)
        all += std::string(KindName(w.kind)) + (w.kind != Kind::Prompt ? " \"" + w.text + "\"" : "") + "; ";
    return all;
}

void Answer(HWND window, Kind kind, const Answers& answers)
{
    if (kind == Kind::Prompt)
        AnswerPrompt(window, answers);
    else if (kind == Kind::RestartQuestion)
        robot::Click(window, answers.restart ? IDYES : IDNO);
    else if (kind == Kind::ErrorBox)
        robot::Click(window, IDOK);
    else
        robot::CloseBox(window);
}

Session RunSentavio(const Answers& answers, const RunOptions& options)
{
    Session session;
    process::Child child;
    const bool debugging = static_cast<bool>(options.onDebugEvent);
    if (!options.fault.empty())
        SetEnvironmentVariableA("SENTAVIO_FAULT", options.fault.c_str());
    session.started = child.Start(options.fault.empty() ? options.commandLine : process::FaultBuildExe(),
                                  debugging ? DEBUG_ONLY_THIS_PROCESS : 0);
    SetEnvironmentVariableA("SENTAVIO_FAULT", nullptr);
    if (!session.started) {
        session.startError = GetLastError();
        return session;
    }
    WatchUntilEnd(child, answers, options, session);
    // What is left once the watch is over: the processes it started, or the window of a program still up.
    if (session.ended) {
        session.leftRunning = ChildrenOf(child.Id());
        return session;
    }
    session.windowUpAtBound = robot::WaitForWindow(child.Id(), 0) != nullptr;
    // Let go before it is ended by force, so that its end leaves no events for the next debugged run.
    if (debugging)
        DebugActiveProcessStop(child.Id());
    return session;
}

}  // namespace user
