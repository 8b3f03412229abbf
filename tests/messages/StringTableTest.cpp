// The string table: every text in every language exactly as the user must
// see it, and the user's locale choosing among them.
#include <doctest.h>

#include <cstdlib>

#include "framework/afxwin.h"
#include "res/resource.h"
#include "tests/support/Texts.h"

namespace {

// Entry `id` of the block that holds strings 0 to 15, in one language.
std::wstring RawEntry(LANGID language, UINT id)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    if (res == nullptr)
        return L"<missing>";
    const WCHAR* p = static_cast<const WCHAR*>(LockResource(LoadResource(module, res)));
    for (UINT i = 0; i < id % 16; ++i)
        p += 1 + *p;
    return std::wstring(p + 1, *p);
}

}  // namespace

TEST_CASE("Every text of the string table, in each language")
{
    for (const texts::Language& language : texts::Languages) {
        CAPTURE(std::string(language.name));
        REQUIRE(language.table != nullptr);  // the locale table names a language we have texts for
        for (UINT id = IDS_TITLE; id <= IDS_CANCEL; ++id) {
            CAPTURE(id);
            std::wstring raw = RawEntry(language.id, id);
            CHECK(texts::Utf8(raw) == language.table[id]);
            CHECK(raw.find(L'\r') == std::wstring::npos);
        }
    }
}

TEST_CASE("The user's locale picks the string table")
{
    LANGID ui = GetUserDefaultUILanguage();
    CAPTURE(ui);
    // The locale runs name the language Wine must have picked, so that an
    // English fallback cannot pass for a switched language.
    char expectedUi[16] = {};
    if (GetEnvironmentVariableA("SENTAVIO_EXPECT_LANGID", expectedUi, sizeof(expectedUi)) > 0)
        REQUIRE(ui == strtoul(expectedUi, nullptr, 16));
    // With a language the program does not speak, Wine's resource loader
    // falls back to the US English table.
    const char* const* expected = texts::TableFor(ui);
    if (expected == nullptr)
        expected = texts::Languages.front().table;

    for (UINT id = IDS_TITLE; id <= IDS_CANCEL; ++id) {
        CAPTURE(id);
        CString text;
        CHECK(text.LoadString(id));
        CHECK(std::string(text) == texts::Ansi(expected[id]));
    }

    if (ui == 0x0407) {
        // German texts arrive in code page 1252: "für" with 0xFC.
        CHECK(GetACP() == 1252);
        CString text;
        text.LoadString(IDS_NOT_OPTIMAL);
        CHECK(std::string(text).find("f\xFCr") != std::string::npos);
        text.LoadString(IDS_TITLE);
        CHECK(text == "Ostrevik Sentavio Dienstprogramm");
    }
}

TEST_CASE("A string number the table does not have loads as empty")
{
    CString text("left over");
    CHECK_FALSE(text.LoadString(11));
    CHECK(text.GetLength() == 0);
    CHECK_FALSE(text.LoadString(4711));
    CHECK(text.GetLength() == 0);
}
