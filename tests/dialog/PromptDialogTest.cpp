// The prompt dialog on Wine's real dialog manager: the robot thread reads the
// created window and operates it like a user; the test's own thread runs
// DoModal and makes every assertion.
#include <doctest.h>

#include "tests/testbed/Holders.h"
#include "res/resource.h"
#include "tests/testbed/Robot.h"
#include "tests/support/Texts.h"
#include "tests/dialog/PromptDialog.h"
#include "ui/PowerPromptDlg.h"

namespace {

const char kMessage[] = "The message field.";
const char kQuestion[] = "The question field?";

// What the robot saw of the open dialog beyond robot::Read.
struct Observed {
    RECT baseUnits = {};  // 4 x 8 dialog units in pixels
    RECT client = {};     // the client area, in screen pixels
    HWND focus = nullptr;
    LRESULT defId = 0;
    HICON bigIcon = nullptr, smallIcon = nullptr, dragIcon = nullptr;
    LOGFONTA font = {};
    std::string face;
    HWND foreground = nullptr;  // when it opened
    COLORREF face3d = 0, activeCaption = 0;  // the system's colours while it ran
    bool timedOut = false;  // still open 10 s after `operate`
};

struct Outcome {
    INT_PTR result = 0;
    int choice = 0;
    BOOL dontShowAgain = 0;
    CString message;
    CString question;
    std::vector<robot::Window> seen;
    Observed observed;
};

// What the robot sees of the open dialog `h`, before it operates it.
void Observe(HWND h, Observed& o)
{
    o.focus = robot::SettledFocus(h);
    o.foreground = GetForegroundWindow();
    o.face3d = GetSysColor(COLOR_BTNFACE);
    o.activeCaption = GetSysColor(COLOR_ACTIVECAPTION);
    SetRect(&o.baseUnits, 0, 0, 4, 8);
    MapDialogRect(h, &o.baseUnits);
    GetClientRect(h, &o.client);
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&o.client), 2);
    o.defId = SendMessageA(h, DM_GETDEFID, 0, 0);
    o.bigIcon = reinterpret_cast<HICON>(SendMessageA(h, WM_GETICON, ICON_BIG, 0));
    o.smallIcon = reinterpret_cast<HICON>(SendMessageA(h, WM_GETICON, ICON_SMALL, 0));
    o.dragIcon = reinterpret_cast<HICON>(SendMessageA(h, WM_QUERYDRAGICON, 0, 0));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0));
    GetObjectA(font, sizeof(o.font), &o.font);
    o.face = prompt::FaceOf(h, font);
}

// Runs the prompt; `operate` answers it on the robot thread. A dialog that
// `operate` failed to end is recorded and cancelled after 10 s, so such a
// fault fails the test instead of hanging it.
Outcome RunPrompt(const std::function<void(HWND)>& operate, BOOL initialCheck = 0)
{
    Outcome out;
    CPowerPromptDlg dlg;
    dlg.m_strMessage = kMessage;
    dlg.m_strQuestion = kQuestion;
    dlg.m_bDontShowAgain = initialCheck;
    out.seen = robot::RunAndAnswer([&] { out.result = dlg.DoModal(); }, { [&](HWND h) {
                                       Observe(h, out.observed);
                                       operate(h);
                                       if (!robot::WaitUntilGone(h, 10000)) {
                                           out.observed.timedOut = true;
                                           robot::Click(h, IDCANCEL);
                                       }
                                   } });
    out.choice = dlg.m_nChoice;
    out.dontShowAgain = dlg.m_bDontShowAgain;
    out.message = dlg.m_strMessage;
    out.question = dlg.m_strQuestion;
    return out;
}

}  // namespace

TEST_CASE("A new prompt holds its initial answer")
{
    CPowerPromptDlg dlg;
    CHECK(dlg.m_strMessage.GetLength() == 0);
    CHECK(dlg.m_strQuestion.GetLength() == 0);
    CHECK(dlg.m_bDontShowAgain == 0);
    CHECK(dlg.m_nChoice == IDCANCEL);
}

TEST_CASE("A dialog whose template is missing answers -1 without showing anything")
{
    CDialog dlg(4711);
    CHECK(dlg.DoModal() == -1);
}

TEST_CASE("The created prompt matches its template")
{
    bool activated = false;
    COLORREF caption = CLR_INVALID;
    Outcome out = RunPrompt([&](HWND h) {
        activated = robot::Activate(h);
        // The colour on screen at the left end of the caption, just inside the frame: the caption's own
        // colour there (a modal frame shows no icon). Wine copies what a window drew to the screen a
        // moment later.
        RECT r = {};
        GetWindowRect(h, &r);
        for (int i = 0; i < 100 && caption != RGB(10, 36, 106); ++i, Sleep(20))
            caption = GetPixel(CScreenDCHolder(GetDC(nullptr)).Get(), r.left + GetSystemMetrics(SM_CXDLGFRAME) + 1,
                               r.top + GetSystemMetrics(SM_CYDLGFRAME) + 1);
        robot::Click(h, IDCANCEL);
    });
    REQUIRE(out.seen.size() == 1);
    const robot::Window& w = out.seen[0];
    const Observed& o = out.observed;

    // Windows 2000's colours, and the prompt the active window from the
    // start, as at a logon: its caption drawn active once the robot has
    // handed it the foreground as the shell does.
    CHECK(o.face3d == RGB(212, 208, 200));
    CHECK(o.activeCaption == RGB(10, 36, 106));
    CHECK(o.foreground == w.hwnd);
    CHECK(activated);
    CHECK(caption == RGB(10, 36, 106));

    // The system adds the clipping and three-dimensional look to every dialog.
    CHECK(w.style == (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT |
                      WS_CLIPSIBLINGS | DS_3DLOOK));
    CHECK((w.exStyle & WS_EX_APPWINDOW) != 0);
    CHECK((w.exStyle & WS_EX_DLGMODALFRAME) != 0);
    CHECK(lstrcmpA(o.font.lfFaceName, "MS Sans Serif") == 0);
    const int dpi = GetDeviceCaps(CScreenDCHolder(GetDC(nullptr)).Get(), LOGPIXELSY);
    CHECK(o.font.lfHeight == -MulDiv(8, dpi, 72));
    // The face asked for is the face drawn, with Windows 2000's metrics: a
    // machine without it substitutes a face of other sizes.
    CHECK(o.face == "MS Sans Serif");
    REQUIRE(dpi == 96);
    const LONG cx = o.baseUnits.right, cy = o.baseUnits.bottom;  // pixels of 4 and of 8 dialog units
    CHECK(cx == 6);
    CHECK(cy == 13);
    CHECK(MulDiv(o.client.right - o.client.left, 4, cx) == 223);
    CHECK(MulDiv(o.client.bottom - o.client.top, 8, cy) == 114);

    // The bitmap's static control takes the bitmap's size plus its edges, so
    // only its position keeps the template's rectangle.
    // The dialog manager gives every control WS_EX_NOPARENTNOTIFY.
    constexpr DWORD kCommon = WS_CHILD | WS_VISIBLE, kCommonEx = WS_EX_NOPARENTNOTIFY;
    constexpr DWORD kTab = kCommon | WS_TABSTOP, kButton = kTab | BS_PUSHBUTTON,
                    kField = kTab | ES_MULTILINE | ES_READONLY;
    struct Expected {
        int id;
        const char* className;
        DWORD style, exStyle;
        RECT rect;  // x, y, width, height in dialog units
        bool sizeFromTemplate;
    } expected[] = {
        { IDNO, "Button", kButton, kCommonEx, { 94, 91, 35, 14 }, true },
        { IDC_DONT_SHOW_AGAIN, "Button", kTab | BS_AUTOCHECKBOX, kCommonEx, { 15, 74, 194, 10 }, true },
        { IDC_STATIC, "Static", kCommon | SS_BITMAP | SS_SUNKEN, kCommonEx | WS_EX_STATICEDGE, { 178, 12, 31, 28 }, false },
        { IDC_MESSAGE, "Edit", kField | ES_WANTRETURN, kCommonEx, { 13, 15, 163, 28 }, true },
        { IDC_QUESTION, "Edit", kField, kCommonEx, { 28, 51, 163, 20 }, true },
        { IDYES, "Button", kButton, kCommonEx, { 52, 91, 35, 14 }, true },
        { IDCANCEL, "Button", kButton, kCommonEx, { 136, 91, 35, 14 }, true },
    };

    // Children are listed in z-order, which is the tab order.
    REQUIRE(w.controls.size() == std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Expected& e = expected[i];
        const robot::Control& c = w.controls[i];
        CAPTURE(i);
        CAPTURE(e.id);
        CHECK(c.id == e.id);
        CHECK(lstrcmpiA(c.className.c_str(), e.className) == 0);
        // A focused push button looks like the default one while it has the
        // focus; the template itself makes none the default.
        CHECK((c.hwnd == o.focus ? c.style & ~BS_DEFPUSHBUTTON : c.style) == e.style);
        if (c.hwnd != o.focus)
            CHECK((c.style & BS_TYPEMASK) != BS_DEFPUSHBUTTON);
        CHECK(c.exStyle == e.exStyle);
        CHECK(MulDiv(c.rect.left - o.client.left, 4, cx) == e.rect.left);
        CHECK(MulDiv(c.rect.top - o.client.top, 8, cy) == e.rect.top);
        if (e.sizeFromTemplate) {
            CHECK(MulDiv(c.rect.right - c.rect.left, 4, cx) == e.rect.right);
            CHECK(MulDiv(c.rect.bottom - c.rect.top, 8, cy) == e.rect.bottom);
        }
    }

    // The dialog manager's default id stays IDOK, which names no control here.
    CAPTURE(o.defId);
    CHECK((HIWORD(o.defId) != DC_HASDEFID || w.Find(LOWORD(o.defId)) == nullptr));

    // The first tab stop, No, has the focus.
    REQUIRE(w.Find(IDNO) != nullptr);
    CHECK(o.focus == w.Find(IDNO)->hwnd);

    // No owner: centred on the screen's work area.
    CHECK(w.owner == nullptr);
    RECT area = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    CHECK(abs((w.rect.left + w.rect.right) - (area.left + area.right)) <= 2);
    CHECK(abs((w.rect.top + w.rect.bottom) - (area.top + area.bottom)) <= 2);

    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    REQUIRE(icon != nullptr);
    CHECK(o.bigIcon == icon);
    CHECK(o.smallIcon == icon);
    CHECK(o.dragIcon == icon);

    // The two fields show the members they were given.
    REQUIRE(w.Find(IDC_MESSAGE) != nullptr);
    CHECK(w.Find(IDC_MESSAGE)->text == kMessage);
    CHECK(w.Find(IDC_QUESTION)->text == kQuestion);
}

TEST_CASE("Keys and clicks end the prompt with the user's answer")
{
    enum Step { EnterOnFocus, EnterOn, Click, Escape, CloseBox };
    struct Case {
        std::string name;
        bool tick;
        Step step;
        int target;  // for EnterOnFocus, the control that must have the first focus
        INT_PTR result;
        int choice;
        BOOL dontShowAgain;
        // A click on Yes follows the step. The dialog's thread takes posted
        // input in order, so the click ends the dialog only if the step left
        // it open: then the result is Yes's.
        bool thenYes;
    } cases[] = {
        // Enter in the question field is the OK command on Windows; Wine's
        // multi-line edit keeps the key when no default button exists, so
        // that case has no row here.
        { "Enter right after opening presses No", false, EnterOnFocus, IDNO, IDOK, IDNO, 0, false },
        { "Enter on the ticked check box is the OK command", true, EnterOn, IDC_DONT_SHOW_AGAIN,
          IDOK, IDCANCEL, 1, false },
        { "Enter on the clear check box is the OK command", false, EnterOn, IDC_DONT_SHOW_AGAIN,
          IDOK, IDCANCEL, 0, false },
        { "Enter in the message field stays there", true, EnterOn, IDC_MESSAGE, IDOK, IDYES, 1, true },
        { "Enter on Yes", true, EnterOn, IDYES, IDOK, IDYES, 1, false },
        { "Escape cancels, check box ignored", true, Escape, 0, IDCANCEL, IDCANCEL, 0, false },
        { "The close box cancels, check box ignored", true, CloseBox, 0, IDCANCEL, IDCANCEL, 0, false },
        { "Cancel, check box ignored", true, Click, IDCANCEL, IDCANCEL, IDCANCEL, 0, false },
        { "Yes", false, Click, IDYES, IDOK, IDYES, 0, false },
        { "Yes with the check box", true, Click, IDYES, IDOK, IDYES, 1, false },
        { "No", false, Click, IDNO, IDOK, IDNO, 0, false },
        { "No with the check box", true, Click, IDNO, IDOK, IDNO, 1, false },
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        HWND pressed = nullptr;
        Outcome out = RunPrompt([&](HWND h) {
            if (c.tick)
                robot::SetCheck(h, IDC_DONT_SHOW_AGAIN, true);
            if (c.step == Click) {
                robot::Click(h, c.target);
            } else if (c.step == CloseBox) {
                robot::CloseBox(h);
            } else {  // a key on the focus: the first one, or the one moved to
                if (c.step == EnterOn)
                    robot::FocusControl(h, c.target);
                pressed = c.step == EnterOn ? robot::Focus(h) : robot::SettledFocus(h);
                robot::PressKey(pressed, c.step == Escape ? VK_ESCAPE : VK_RETURN);
            }
            if (c.thenYes)
                robot::Click(h, IDYES);
        });
        REQUIRE(out.seen.size() == 1);
        if (c.step == EnterOnFocus || c.step == EnterOn)
            CHECK(pressed == out.seen[0].Find(c.target)->hwnd);
        CHECK(out.result == c.result);
        CHECK(out.choice == c.choice);
        CHECK(out.dontShowAgain == c.dontShowAgain);
        CHECK_FALSE(out.observed.timedOut);
        // Moving the read-only fields back leaves their texts as they were.
        CHECK(out.message == kMessage);
        CHECK(out.question == kQuestion);
    }
}

TEST_CASE("A ticked member shows as a ticked check box")
{
    Outcome out = RunPrompt([](HWND h) { robot::Click(h, IDYES); }, 1);
    CHECK(out.result == IDOK);
    CHECK(out.dontShowAgain == 1);
}

TEST_CASE("The prompt's labels follow the user's language")
{
    LANGID ui = GetUserDefaultUILanguage();
    CAPTURE(ui);
    REQUIRE(ui == prompt::RequestedLanguage());
    const char* const* table = texts::TableFor(ui);
    REQUIRE(table != nullptr);

    Outcome out = RunPrompt([](HWND h) { robot::Click(h, IDCANCEL); });
    REQUIRE(out.seen.size() == 1);
    const robot::Window& w = out.seen[0];
    struct Label {
        int id;  // 0: the caption
        UINT string;
        const char* french;  // in so many words, where the row says
    } labels[] = {
        { 0, IDS_TITLE, "Utilitaire Ostrevik Sentavio" },
        { IDC_DONT_SHOW_AGAIN, IDS_DONT_SHOW_AGAIN, nullptr },
        { IDYES, IDS_YES, "Oui" },
        { IDNO, IDS_NO, "Non" },
        { IDCANCEL, IDS_CANCEL, "Annuler" },
    };
    for (const Label& l : labels) {
        CAPTURE(l.id);
        REQUIRE((l.id == 0 || w.Find(l.id) != nullptr));
        const std::string shown = l.id == 0 ? w.caption : w.Find(l.id)->text;
        CHECK(shown == texts::Ansi(table[l.string]));
        if (ui == 0x040C && l.french != nullptr)
            CHECK(shown == l.french);
    }
}
