// Error boxes and the string table, on Wine's real FormatMessage, resource
// loader and message boxes; the robot reads each box and dismisses it.
#include <doctest.h>

#include "framework/afxwin.h"
#include "messages/Messages.h"
#include "res/resource.h"
#include "tests/support/Texts.h"

using texts::SystemText;

TEST_CASE("ReportError shows the right text under the program's caption")
{
    struct Case {
        DWORD code;
        std::string expected;
    } cases[] = {
        { 5, SystemText(5) },
        { 2, SystemText(2) },
        { 0, texts::Text(IDS_DRIVER_NOT_FOR_DEVICE) },
        { 0xE0001234, "Unknown Error 0xE0001234" },
        { 0x2AF9, SystemText(0x2AF9).empty() ? "Unknown Error 0x2AF9" : SystemText(0x2AF9) },
    };
    for (const Case& c : cases) {
        CAPTURE(c.code);
        REQUIRE_FALSE(c.expected.empty());
        texts::CheckErrorBox(texts::Run([&] { ReportError(c.code); }).boxes, c.expected);
    }
}

TEST_CASE("ShowErrorBox shows the given text with the error icon and one OK button")
{
    texts::CheckErrorBox(texts::Run([] { ShowErrorBox("Something failed."); }).boxes, "Something failed.");
}
