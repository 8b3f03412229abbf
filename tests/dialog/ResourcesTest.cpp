// The resources of the built Sentavio.exe as Windows reads them: the version
// resource through the version library, the icon group and the bitmap
// through the resource loader on the file mapped as data.
#include <doctest.h>

#include "messages/Holders.h"
#include "res/resource.h"
#include "res/version.h"  // the version as the build writes it, which every release raises
#include "tests/support/Texts.h"
#include "tests/testbed/Process.h"

#include <map>
#include <string>
#include <vector>

namespace {

// The resource's bytes in the executable mapped as data; empty when it is missing.
std::string Bytes(const CLibraryHolder& exe, LPCSTR name, LPCSTR type)
{
    HRSRC res = FindResourceA(exe.Get(), name, type);
    if (res == nullptr)
        return {};
    const char* p = static_cast<const char*>(LockResource(LoadResource(exe.Get(), res)));
    return p != nullptr ? std::string(p, SizeofResource(exe.Get(), res)) : std::string();
}

const char* Align4(const char* base, const char* p)
{
    return base + ((p - base + 3) & ~3);
}

// Adds the strings of the string tables under the version block's node at `p`,
// by table and name. A node is its length, value length and type, its key, its
// value (a text one counts characters, a binary one bytes) and its children,
// each part aligned to four bytes.
void AddStrings(const char* base, const char* p, std::vector<std::wstring> path,
                std::map<std::string, std::string>& strings)
{
    const WORD* header = reinterpret_cast<const WORD*>(p);
    path.push_back(reinterpret_cast<const WCHAR*>(p + 6));
    const char* value = Align4(base, p + 6 + (path.back().size() + 1) * sizeof(WCHAR));
    if (path.size() == 4 && path[1] == L"StringFileInfo") {
        // The stored length may count the terminating null.
        const std::wstring text(reinterpret_cast<const WCHAR*>(value), header[1]);
        strings[texts::Utf8(path[2]) + "/" + texts::Utf8(path[3])] = texts::Utf8(text.c_str());
        return;
    }
    const char* child = Align4(base, value + (header[2] == 1 ? header[1] * sizeof(WCHAR) : header[1]));
    for (; child < p + header[0] && reinterpret_cast<const WORD*>(child)[0] != 0;
         child = Align4(base, child + reinterpret_cast<const WORD*>(child)[0]))
        AddStrings(base, child, path, strings);
}

bool HasColour(const BITMAPINFOHEADER* header, COLORREF rgb)
{
    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(header + 1);
    const BYTE* bits = reinterpret_cast<const BYTE*>(palette + 16);
    int stride = (header->biWidth * 4 + 31) / 32 * 4;
    int rows = header->biHeight > header->biWidth ? header->biWidth : header->biHeight;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < header->biWidth; ++x) {
            BYTE pair = bits[y * stride + x / 2];
            const RGBQUAD& c = palette[x % 2 == 0 ? pair >> 4 : pair & 15];
            if (RGB(c.rgbRed, c.rgbGreen, c.rgbBlue) == rgb)
                return true;
        }
    return false;
}

}  // namespace

TEST_CASE("The version resource of Sentavio.exe")
{
    const std::string path = process::SentavioExe();
    DWORD handle = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), &handle));
    REQUIRE_FALSE(block.empty());
    REQUIRE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    REQUIRE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    REQUIRE(size == sizeof(VS_FIXEDFILEINFO));
    CHECK(fixed->dwSignature == 0xFEEF04BD);
    const WORD version[] = { SENTAVIO_VERSION_NUMBERS };
    const DWORD versionMS = MAKELONG(version[1], version[0]), versionLS = MAKELONG(version[3], version[2]);
    CHECK(fixed->dwFileVersionMS == versionMS);
    CHECK(fixed->dwFileVersionLS == versionLS);
    CHECK(fixed->dwProductVersionMS == versionMS);
    CHECK(fixed->dwProductVersionLS == versionLS);
    CHECK(fixed->dwFileFlagsMask == 0x3F);
    CHECK(fixed->dwFileFlags == 0);
    CHECK(fixed->dwFileOS == VOS__WINDOWS32);
    CHECK(fixed->dwFileType == VFT_APP);
    CHECK(fixed->dwFileSubtype == 0);
    CHECK(fixed->dwFileDateMS == 0);
    CHECK(fixed->dwFileDateLS == 0);

    WORD* translation = nullptr;
    REQUIRE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
    REQUIRE(size == 4);
    CHECK(translation[0] == 0x0409);
    CHECK(translation[1] == 0x04B0);

    // Exactly these strings, in the one US English table.
    const std::map<std::string, std::string> expected = {
        { "040904b0/Comments", "" },
        { "040904b0/CompanyName", "Ostrevik " },
        { "040904b0/FileDescription", "OV Check Kestrine Settings Tool" },
        { "040904b0/FileVersion", SENTAVIO_VERSION_TEXT },
        { "040904b0/InternalName", "Sentavio" },
        { "040904b0/LegalTrademarks", "" },
        { "040904b0/OriginalFilename", "Sentavio.exe" },
        { "040904b0/PrivateBuild", "" },
        { "040904b0/ProductName", "Sentavio Application" },
        { "040904b0/ProductVersion", SENTAVIO_VERSION_TEXT },
        { "040904b0/SpecialBuild", "" },
    };
    std::map<std::string, std::string> strings;
    AddStrings(block.data(), block.data(), {}, strings);
    CHECK(strings == expected);

    // And as a program asks for one.
    char* text = nullptr;
    REQUIRE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\CompanyName",
                           reinterpret_cast<void**>(&text), &size));
    CHECK(std::string(text) == "Ostrevik ");
}

TEST_CASE("The icon group of Sentavio.exe: 32 and 16 pixels in 16 colours")
{
    const CLibraryHolder exe(LoadLibraryExA(process::SentavioExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    REQUIRE(exe.Get() != nullptr);

#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colorCount, reserved;
        WORD planes, bitCount;
        DWORD bytesInRes;
        WORD id;
    };
    struct GroupHeader {
        WORD reserved, type, count;
        GroupEntry entries[1];
    };
#pragma pack(pop)

    std::string group = Bytes(exe, MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    REQUIRE(group.size() == 6 + 2 * sizeof(GroupEntry));
    const GroupHeader* header = reinterpret_cast<const GroupHeader*>(group.data());
    CHECK(header->reserved == 0);
    CHECK(header->type == 1);
    REQUIRE(header->count == 2);

    const int sizes[] = { 32, 16 };
    for (int i = 0; i < 2; ++i) {
        const GroupEntry& e = header->entries[i];
        CAPTURE(sizes[i]);
        CHECK(e.width == sizes[i]);
        CHECK(e.height == sizes[i]);
        CHECK(e.colorCount == 16);
        CHECK(e.planes == 1);
        CHECK(e.bitCount == 4);

        std::string image = Bytes(exe, MAKEINTRESOURCEA(e.id), RT_ICON);
        REQUIRE(image.size() == e.bytesInRes);
        REQUIRE(image.size() >= sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD));
        const auto* bih = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
        CHECK(bih->biWidth == sizes[i]);
        CHECK(bih->biHeight == 2 * sizes[i]);  // colour bits and mask
        CHECK(bih->biBitCount == 4);
        CHECK(bih->biCompression == BI_RGB);
        CHECK(HasColour(bih, RGB(255, 0, 0)));
        CHECK(HasColour(bih, RGB(255, 255, 0)));

        // The system accepts the image as an icon of its size.
        const CUniqueResource<HICON, &::DestroyIcon> icon(CreateIconFromResourceEx(
            reinterpret_cast<BYTE*>(image.data()), static_cast<DWORD>(image.size()), TRUE, 0x00030000, sizes[i],
            sizes[i], LR_DEFAULTCOLOR));
        CHECK(icon.Get() != nullptr);
    }
}

TEST_CASE("The bitmap of Sentavio.exe: 46 pixels square, 4 bits, uncompressed")
{
    const CLibraryHolder exe(LoadLibraryExA(process::SentavioExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    REQUIRE(exe.Get() != nullptr);

    std::string bitmap = Bytes(exe, MAKEINTRESOURCEA(IDB_QUESTION), RT_BITMAP);
    const size_t stride = (46 * 4 + 31) / 32 * 4;
    REQUIRE(bitmap.size() == sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD) + stride * 46);
    const auto* bih = reinterpret_cast<const BITMAPINFOHEADER*>(bitmap.data());
    CHECK(bih->biSize == sizeof(BITMAPINFOHEADER));
    CHECK(bih->biWidth == 46);
    CHECK(bih->biHeight == 46);
    CHECK(bih->biPlanes == 1);
    CHECK(bih->biBitCount == 4);
    CHECK(bih->biCompression == BI_RGB);
    CHECK(HasColour(bih, RGB(192, 192, 192)));
    CHECK(HasColour(bih, RGB(255, 255, 255)));
    CHECK(HasColour(bih, RGB(0, 0, 255)));
}
