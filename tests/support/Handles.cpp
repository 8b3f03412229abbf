#include "Handles.h"

#include <doctest.h>

#include "tests/testbed/Robot.h"

namespace handles {

namespace {

int g_invalidCloses = 0;

BOOL WINAPI WatchedCloseHandle(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        ++g_invalidCloses;
    return CloseHandle(handle);
}

// Every handle the process holds, once the set holds still: Wine's own
// worker threads open and close handles of their own for a moment after a
// call into the service manager. Wine answers GetProcessHandleCount with 0
// whatever is open, so each value is tried; it hands out the lowest free
// one, so a long run of unused values ends the table.
std::vector<HANDLE> Open()
{
    std::vector<HANDLE> open;
    for (int scan = 0; scan < 20; ++scan, Sleep(50)) {
        std::vector<HANDLE> now;
        for (ULONG_PTR value = 4, unused = 0; unused < 1024; value += 4) {
            DWORD flags = 0;
            const bool held = GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags);
            if (held)
                now.push_back(reinterpret_cast<HANDLE>(value));
            unused = held ? 0 : unused + 1;
        }
        if (scan > 0 && now == open)
            break;
        open = std::move(now);
    }
    return open;
}

// Wine keeps a few registry keys open once the process has shown its first
// window and box: let that happen before anything is measured.
std::vector<HANDLE> OpenOnceWarm()
{
    static const bool warm = !robot::RunAndAnswer([] { MessageBoxA(nullptr, "", "", MB_OK); },
                                                  { [](HWND box) { robot::Click(box, IDOK); } })
                                  .empty();
    REQUIRE(warm);
    return Open();
}

}  // namespace

CWatch::CWatch() : m_before(OpenOnceWarm()), m_closes("CloseHandle", &WatchedCloseHandle)
{
    g_invalidCloses = 0;
}

bool CWatch::Unchanged() const
{
    return Open() == m_before;
}

int CWatch::Added() const
{
    return static_cast<int>(Open().size()) - static_cast<int>(m_before.size());
}

int CWatch::InvalidCloses() const
{
    return g_invalidCloses;
}

}  // namespace handles
