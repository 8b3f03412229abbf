// The resources of the built Sentavio.exe as Windows reads them: the version
// resource through the version library, the icon group and the bitmap
// through the resource loader on the file mapped as data.
#include <doctest.h>

#include "messages/Holders.h"
#include "res/resource.h"
#include "res/version.h"  // the version as the build writes it, which every release raises
#include "tests/testbed/Process.h"

#include <map>
#include <string>
#include <vector>

namespace {

// The executable mapped as data, freed when the holder goes.
class DataFile {
public:
    explicit DataFile(const std::string& path)
        : m_module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
    {
    }

    HMODULE Get() const { return m_module.Get(); }

    // The resource's bytes; empty when it is missing.
    std::string Bytes(LPCSTR name, LPCSTR type) const
    {
        HRSRC res = FindResourceA(Get(), name, type);
        if (res == nullptr)
            return {};
        const char* p = static_cast<const char*>(LockResource(LoadResource(Get(), res)));
        return p != nullptr ? std::string(p, SizeofResource(Get(), res)) : std::string();
    }

private:
    CLibraryHolder m_module;
};

std::vector<char> VersionBlock(const std::string& path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

// One node of a version block: length, value length, type, key, value,
// children, each part aligned to four bytes.
struct Node {
    const char* start;
    WORD length;
    WORD valueLength;
    WORD type;
    std::wstring key;
    const char* value;
    const char* childrenEnd;
    const char* firstChild;
};

const char* Align4(const char* base, const char* p)
{
    return base + ((p - base + 3) & ~3);
}

Node Parse(const char* base, const char* p)
{
    Node n = {};
    n.start = p;
    n.length = reinterpret_cast<const WORD*>(p)[0];
    n.valueLength = reinterpret_cast<const WORD*>(p)[1];
    n.type = reinterpret_cast<const WORD*>(p)[2];
    const WCHAR* key = reinterpret_cast<const WCHAR*>(p + 6);
    n.key = key;
    n.value = Align4(base, reinterpret_cast<const char*>(key + n.key.size() + 1));
    // A text value counts characters, a binary one bytes.
    size_t valueBytes = n.type == 1 ? n.valueLength * sizeof(WCHAR) : n.valueLength;
    n.firstChild = Align4(base, n.value + valueBytes);
    n.childrenEnd = p + n.length;
    return n;
}

std::vector<Node> Children(const char* base, const Node& parent)
{
    std::vector<Node> nodes;
    for (const char* p = parent.firstChild; p < parent.childrenEnd;) {
        Node n = Parse(base, p);
        if (n.length == 0)
            break;
        nodes.push_back(n);
        p = Align4(base, p + n.length);
    }
    return nodes;
}

std::string Narrow(const std::wstring& wide)
{
    return std::string(wide.begin(), wide.end());
}

// Every string of every string table of the block, by table and name.
std::map<std::string, std::string> VersionStrings(const std::vector<char>& block)
{
    std::map<std::string, std::string> strings;
    const char* base = block.data();
    Node root = Parse(base, base);
    for (const Node& info : Children(base, root)) {
        if (info.key != L"StringFileInfo")
            continue;
        for (const Node& table : Children(base, info)) {
            for (const Node& s : Children(base, table)) {
                // The stored length may count the terminating null.
                std::wstring text(reinterpret_cast<const WCHAR*>(s.value), s.valueLength);
                text = text.c_str();
                strings[Narrow(table.key) + "/" + Narrow(s.key)] = Narrow(text);
            }
        }
    }
    return strings;
}

bool HasColour(const BITMAPINFOHEADER* header, COLORREF rgb)
{
    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(header + 1);
    const BYTE* bits = reinterpret_cast<const BYTE*>(palette + 16);
    int stride = (header->biWidth * 4 + 31) / 32 * 4;
    int rows = header->biHeight > header->biWidth ? header->biWidth : header->biHeight;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < header->biWidth; ++x) {
            BYTE pair = bits[y * stride + x / 2];
            const RGBQUAD& c = palette[x % 2 == 0 ? pair >> 4 : pair & 15];
            if (RGB(c.rgbRed, c.rgbGreen, c.rgbBlue) == rgb)
                return true;
        }
    }
    return false;
}

constexpr COLORREF kRed = RGB(255, 0, 0), kYellow = RGB(255, 255, 0), kBlue = RGB(0, 0, 255),
                   kWhite = RGB(255, 255, 255), kSilver = RGB(192, 192, 192);

}  // namespace

TEST_CASE("The version resource of Sentavio.exe")
{
    const std::string path = process::SentavioExe();
    std::vector<char> block = VersionBlock(path);
    REQUIRE_FALSE(block.empty());

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
    REQUIRE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                           reinterpret_cast<void**>(&translation), &size));
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
    CHECK(VersionStrings(block) == expected);

    // And as a program asks for one.
    char* text = nullptr;
    REQUIRE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\CompanyName",
                           reinterpret_cast<void**>(&text), &size));
    CHECK(std::string(text) == "Ostrevik ");
}

TEST_CASE("The icon group of Sentavio.exe: 32 and 16 pixels in 16 colours")
{
    DataFile exe(process::SentavioExe());
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

    std::string group = exe.Bytes(MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
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

        std::string image = exe.Bytes(MAKEINTRESOURCEA(e.id), RT_ICON);
        REQUIRE(image.size() == e.bytesInRes);
        REQUIRE(image.size() >= sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD));
        const auto* bih = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
        CHECK(bih->biWidth == sizes[i]);
        CHECK(bih->biHeight == 2 * sizes[i]);  // colour bits and mask
        CHECK(bih->biBitCount == 4);
        CHECK(bih->biCompression == BI_RGB);
        CHECK(HasColour(bih, kRed));
        CHECK(HasColour(bih, kYellow));

        // The system accepts the image as an icon of its size.
        HICON icon = CreateIconFromResourceEx(
            reinterpret_cast<BYTE*>(image.data()), static_cast<DWORD>(image.size()), TRUE,
            0x00030000, sizes[i], sizes[i], LR_DEFAULTCOLOR);
        CHECK(icon != nullptr);
        if (icon != nullptr)
            DestroyIcon(icon);
    }
}

TEST_CASE("The bitmap of Sentavio.exe: 46 pixels square, 4 bits, uncompressed")
{
    DataFile exe(process::SentavioExe());
    REQUIRE(exe.Get() != nullptr);

    std::string bitmap = exe.Bytes(MAKEINTRESOURCEA(IDB_QUESTION), RT_BITMAP);
    const size_t stride = (46 * 4 + 31) / 32 * 4;
    REQUIRE(bitmap.size() == sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD) + stride * 46);
    const auto* bih = reinterpret_cast<const BITMAPINFOHEADER*>(bitmap.data());
    CHECK(bih->biSize == sizeof(BITMAPINFOHEADER));
    CHECK(bih->biWidth == 46);
    CHECK(bih->biHeight == 46);
    CHECK(bih->biPlanes == 1);
    CHECK(bih->biBitCount == 4);
    CHECK(bih->biCompression == BI_RGB);
    CHECK(HasColour(bih, kSilver));
    CHECK(HasColour(bih, kWhite));
    CHECK(HasColour(bih, kBlue));
}
