// The machine scope's snapshot in a file, and the tool's "scope save|restore FILE": the scripts keep
// what a run may change and put it back as the tests do.
#include "MachineScope.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace testbed {

namespace {

// Every text and byte string as "x" and its bytes in hex: one word each, never empty.
std::string Word(const std::string& bytes)
{
    std::string word = "x";
    char hex[3] = {};
    for (unsigned char c : bytes) {
        std::snprintf(hex, sizeof(hex), "%02x", c);
        word += hex;
    }
    return word;
}

bool FromWord(const std::string& word, std::string& bytes)
{
    if (word.empty() || word[0] != 'x' || word.size() % 2 != 1 ||
        word.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
        return false;
    bytes.clear();
    for (size_t i = 1; i < word.size(); i += 2)
        bytes += static_cast<char>(std::strtol(word.substr(i, 2).c_str(), nullptr, 16));
    return true;
}

// One line each: the version, the service, the library, then per key its presence and its values.
bool Save(const MachineSnapshot& s, const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << Word(s.version) << '\n'
        << s.service.present << ' ' << Word(s.service.binaryPath) << '\n'
        << Word(s.library) << '\n';
    for (const MachineSnapshot::Key& key : s.keys) {
        out << key.present << ' ' << key.values.size();
        for (const auto& [name, value] : key.values)
            out << ' ' << Word(name) << ' ' << value.type << ' '
                << Word(std::string(value.bytes.begin(), value.bytes.end()));
        out << '\n';
    }
    return static_cast<bool>(out.flush());
}

bool Load(const std::string& path, MachineSnapshot& s)
{
    std::ifstream in(path, std::ios::binary);
    std::string version, service, library;
    if (!(in >> version >> s.service.present >> service >> library) || !FromWord(version, s.version) ||
        !FromWord(service, s.service.binaryPath) || !FromWord(library, s.library))
        return false;
    s.keys.resize(kScopedKeys.size());
    for (MachineSnapshot::Key& key : s.keys) {
        size_t count = 0;
        if (!(in >> key.present >> count))
            return false;
        for (size_t i = 0; i < count; ++i) {
            std::string name, nameWord, bytesWord, bytes;
            RegValue value;
            if (!(in >> nameWord >> value.type >> bytesWord) || !FromWord(nameWord, name) ||
                !FromWord(bytesWord, bytes))
                return false;
            value.present = true;
            value.bytes.assign(bytes.begin(), bytes.end());
            key.values[name] = value;
        }
    }
    return true;
}

// scope save|restore FILE
int ScopeCommand(const std::vector<std::string>& args)
{
    if (args.size() != 2 || (args[0] != "save" && args[0] != "restore"))
        return 2;
    const std::string& file = args[1];
    const bool saving = args[0] == "save";
    MachineSnapshot snapshot;
    if (saving ? Save(TakeSnapshot(), file) : Load(file, snapshot))
        return saving || RestoreSnapshot(snapshot) == 0 ? 0 : 1;
    std::fprintf(stderr, saving ? "cannot write the snapshot to %s\n" : "cannot read a snapshot from %s\n", file.c_str());
    return 1;
}

const AreaRegistration registration{
    { "scope",
      { { "scope", "save|restore <file>   (what a test may change, and putting it back)", &ScopeCommand } },
      nullptr } };

}  // namespace

}  // namespace testbed
