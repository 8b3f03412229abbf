// The prompt as the program shows it, with its own texts: its picture, and
// its layout in each language at Windows 2000's two screen resolutions,
// measured in a program of its own for each.
#include <doctest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/dialog/PromptDialog.h"
#include "tests/support/Texts.h"
#include "tests/testbed/Holders.h"
#include "tests/testbed/Process.h"
#include "tests/testbed/Registry.h"
#include "tests/testbed/Robot.h"
#include "tests/testbed/User.h"
#include "ui/PowerPromptDlg.h"

namespace {

// The prompt with the texts the program shows, handed to `answer` (which
// closes it) once it is up.
void ShowProgramPrompt(const robot::Answer& answer)
{
    CPowerPromptDlg dlg;
    dlg.m_strMessage.LoadString(IDS_NOT_OPTIMAL);
    dlg.m_strQuestion.LoadString(IDS_ASK_OPTIMUM);
    robot::RunAndAnswer([&] { dlg.DoModal(); }, { answer }, 60000);
}

// One control of the open prompt: where it lies in the client area, and for a
// control with text, its extent in the control's font and what it needs against
// the room the control gives: pixels for a button, lines for an edit field.
struct Fit {
    int id = 0;
    RECT rect = {};
    int width = 0;
    int lineWidth = 0;  // an edit field's, which it wraps the text to
    int need = 0, room = 0;
};

// The prompt as it opened in one language and screen resolution.
struct Layout {
    LANGID language = 0;
    int dpi = 0;
    SIZE baseUnits = {};  // pixels of 4 x 8 dialog units
    SIZE client = {};
    std::string face;
    std::vector<Fit> controls;
};

// Measures the open prompt from its own process (its fonts are handles of
// this process).
Layout Measure(HWND dialog)
{
    Layout l;
    l.language = GetUserDefaultUILanguage();
    l.dpi = GetDeviceCaps(CScreenDCHolder(GetDC(nullptr)).Get(), LOGPIXELSY);
    RECT units = { 0, 0, 4, 8 };
    MapDialogRect(dialog, &units);
    l.baseUnits = { units.right, units.bottom };
    RECT client = {};
    GetClientRect(dialog, &client);
    l.client = { client.right, client.bottom };
    l.face = prompt::FaceOf(dialog, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));

    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        Fit f;
        f.id = GetDlgCtrlID(c);
        GetWindowRect(c, &f.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&f.rect), 2);
        char text[512] = {};
        GetWindowTextA(c, text, sizeof(text));
        HDC dc = GetDC(c);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)));
        SIZE extent = {};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
        TEXTMETRICA tm = {};
        GetTextMetricsA(dc, &tm);
        INT digit = 0;
        GetCharWidth32A(dc, '0', '0', &digit);
        SelectObject(dc, old);
        ReleaseDC(c, dc);

        RECT inside = {};
        GetClientRect(c, &inside);
        f.width = extent.cx;
        if (f.id == IDC_MESSAGE || f.id == IDC_QUESTION) {
            RECT format = {};
            SendMessageA(c, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
            f.lineWidth = format.right - format.left;
            f.need = static_cast<int>(SendMessageA(c, EM_GETLINECOUNT, 0, 0));
            f.room = tm.tmHeight > 0 ? (format.bottom - format.top) / tm.tmHeight : 0;
        } else if (f.id != IDC_STATIC) {
            // A button's text has its whole width; the check box draws the
            // box, half a digit's gap and a pixel for the focus rectangle
            // before its text.
            f.need = extent.cx;
            f.room = inside.right - (f.id == IDC_DONT_SHOW_AGAIN ? (12 * l.dpi / 96 + 1) + digit / 2 + 1 : 0);
        }
        l.controls.push_back(f);
    }
    return l;
}

const char* ControlName(int id)
{
    static const std::map<int, const char*> names = {
        { IDC_MESSAGE, "message" }, { IDC_QUESTION, "question" }, { IDC_DONT_SHOW_AGAIN, "check box" },
        { IDYES, "Yes" },           { IDNO, "No" },               { IDCANCEL, "Cancel" },
    };
    const auto name = names.find(id);
    return name != names.end() ? name->second : "picture";
}

// Where Windows 2000 keeps the screen resolution of programs started from now on.
constexpr testbed::RegKey kFontsKey = {
    testbed::Hive::LocalMachine, "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts"
};
constexpr const char* kLogPixels = "LogPixels";

}  // namespace

// Not part of the suite: scripts/screenshots.sh runs it to photograph the
// prompt as the program shows it, into the bitmap file SENTAVIO_PICTURE.
TEST_CASE("Picture of the prompt" * doctest::skip())
{
    const char* picture = getenv("SENTAVIO_PICTURE");
    REQUIRE(picture != nullptr);
    bool saved = false;
    ShowProgramPrompt([&](HWND h) {
        saved = user::SaveScreenshot(h, picture);
        robot::Click(h, IDCANCEL);
    });
    CHECK(saved);
}

// The prompt in each language it speaks, at the resolutions of Windows 2000's
// small and large fonts, with the texts the program shows: every text whole,
// no control on another, all inside the window. A resolution applies to
// programs started after it is set, so each row is judged in a program of its
// own. Wine starts a program in its parent's language, whatever environment it
// is given: the test command runs this once per language (dialog_layout_<locale>).
TEST_CASE("Every text of the prompt is whole in each language, at 96 and 120 DPI" * doctest::skip())
{
    struct Row {
        const char* locale;
        LANGID language;
        DWORD set;  // the machine's resolution
        int dpi;    // the prompt's, as the row expects it
        SIZE baseUnits;
        bool passes;
    };
    std::vector<Row> rows;
    for (const texts::Language& l : texts::Languages) {
        rows.push_back({ l.locale, l.id, 96, 96, { 6, 13 }, true });
        rows.push_back({ l.locale, l.id, 120, 120, { 8, 16 }, true });
        // A resolution that did not take: the prompt left at 96 DPI fails.
        rows.push_back({ l.locale, l.id, 96, 120, { 8, 16 }, false });
    }
    const LANGID language = GetUserDefaultUILanguage();
    REQUIRE(language == prompt::RequestedLanguage());
    char exe[MAX_PATH] = {};
    REQUIRE(GetModuleFileNameA(nullptr, exe, sizeof(exe)) > 0);

    // The resolution found goes back at the end, so the tests after this one
    // see the machine as before.
    const testbed::RegValue found = testbed::ReadValue(kFontsKey, kLogPixels);
    const CUndo putBack([&] { testbed::WriteValue(kFontsKey, kLogPixels, found); });
    int measured = 0;
    for (const Row& r : rows) {
        if (r.language != language)
            continue;
        ++measured;
        CAPTURE(std::string(r.locale));
        CAPTURE(r.dpi);
        CAPTURE(r.set);
        REQUIRE(testbed::WriteDword(kFontsKey, kLogPixels, r.set) == ERROR_SUCCESS);
        const std::string row = std::string(r.locale) + ' ' + std::to_string(r.dpi) + ' ' +
                                std::to_string(r.baseUnits.cx) + ' ' + std::to_string(r.baseUnits.cy);
        SetEnvironmentVariableA("SENTAVIO_LAYOUT_ROW", row.c_str());
        process::Child child;
        // Minimal: its summary line would pass for this program's own when
        // CTest reads the output.
        REQUIRE(child.Start(std::string("\"") + exe + "\" --minimal --no-skip --test-case=\"Layout of the prompt\""));
        DWORD exitCode = 1;
        CHECK(child.Wait(60000, &exitCode));
        CHECK((exitCode == 0) == r.passes);  // every check of the row passed there, or not
    }
    CHECK(measured == 3);
}

// Not part of the suite: the test above runs it in the language and screen
// resolution of one row, SENTAVIO_LAYOUT_ROW: the locale, the resolution and
// the base units expected.
TEST_CASE("Layout of the prompt" * doctest::skip())
{
    const char* row = getenv("SENTAVIO_LAYOUT_ROW");
    REQUIRE(row != nullptr);
    char locale[16] = {};
    int dpi = 0;
    SIZE baseUnits = {};
    REQUIRE(sscanf(row, "%15s %d %ld %ld", locale, &dpi, &baseUnits.cx, &baseUnits.cy) == 4);
    // Windows 2000 draws every program at the screen's resolution. Wine 10, as
    // Vista and later, shows a program that does not declare itself aware of it
    // at 96 DPI, scaled: declared, the prompt opens as on Windows 2000. The call
    // is Vista's, found at run time (the test bed is built for XP).
    using Aware = BOOL(WINAPI*)();
    if (const FARPROC aware = GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware"))
        reinterpret_cast<Aware>(reinterpret_cast<void*>(aware))();
    Layout l;
    ShowProgramPrompt([&](HWND h) {
        robot::SettledFocus(h);
        l = Measure(h);
        robot::Click(h, IDCANCEL);
    });

    CHECK(l.language == prompt::RequestedLanguage());
    CHECK(l.dpi == dpi);
    CHECK(l.face == "MS Sans Serif");
    CHECK(l.baseUnits.cx == baseUnits.cx);
    CHECK(l.baseUnits.cy == baseUnits.cy);
    CHECK(l.controls.size() == 7);
    // The margins, on record in the test's output.
    std::cout << locale << ' ' << dpi << " DPI:";
    for (const Fit& f : l.controls) {
        if (f.id == IDC_MESSAGE || f.id == IDC_QUESTION)
            std::cout << ' ' << ControlName(f.id) << ' ' << f.need << '/' << f.room << " lines (" << f.width
                      << " px on lines of " << f.lineWidth << "),";
        else if (f.id != IDC_STATIC)
            std::cout << ' ' << ControlName(f.id) << ' ' << f.need << '/' << f.room << " px,";
    }
    std::cout << std::endl;
    for (const Fit& f : l.controls) {
        CAPTURE(std::string(ControlName(f.id)));
        CHECK(f.need <= f.room);
        CHECK(f.rect.left >= 0);
        CHECK(f.rect.top >= 0);
        CHECK(f.rect.right <= l.client.cx);
        CHECK(f.rect.bottom <= l.client.cy);
        for (const Fit& other : l.controls) {
            RECT overlap = {};
            if (&other != &f) {
                CAPTURE(std::string(ControlName(other.id)));
                CHECK_FALSE(IntersectRect(&overlap, &f.rect, &other.rect));
            }
        }
    }
}
