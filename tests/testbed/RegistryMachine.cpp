#include "RegistryMachine.h"

#include "Machine.h"
#include "Registry.h"

#include <cstdlib>
#include <cstring>

namespace testbed {

std::vector<BYTE> Pattern(DWORD size)
{
    std::vector<BYTE> bytes(size);
    for (DWORD i = 0; i < size; ++i)
        bytes[i] = static_cast<BYTE>(0xA0 + i * 37 + i / 256);
    return bytes;
}

RegValue HeuristicsWithFlag(const RegValue& stored, BYTE flag)
{
    RegValue value{ true, REG_BINARY, stored.bytes };
    if (value.bytes.size() < 20)
        value.bytes.resize(20, 0);
    value.bytes[kHeuristicsFlagByte] = flag;
    return value;
}

LONG WriteBystanders()
{
    const LONG status = WriteDword(kPowerKey, kPowerBystander, 5);
    return status != ERROR_SUCCESS ? status : WriteString(kRunKey, kRunBystander, "C:\\Tools\\neighbour.exe /tray");
}

std::vector<BYTE> ValueBytes(DWORD type, DWORD size)
{
    if (type != REG_SZ || size == 0)
        return Pattern(size);
    std::vector<BYTE> bytes(size);
    for (DWORD i = 0; i + 1 < size; ++i)
        bytes[i] = static_cast<BYTE>('A' + i % 26);
    bytes[size - 1] = 0;
    return bytes;
}

namespace {

const struct {
    DWORD type;
    const char* name;
} kTypeNames[] = { { REG_BINARY, "binary" }, { REG_SZ, "string" }, { REG_DWORD, "number" } };

// REG_NONE for any word but those.
DWORD TypeFromName(const std::string& name)
{
    for (const auto& t : kTypeNames)
        if (name == t.name)
            return t.type;
    return REG_NONE;
}

int HeuristicsCommand(const std::vector<std::string>& args)
{
    LONG status = ERROR_SUCCESS;
    if (args.size() == 1 && args[0] == "none") {
        status = DeleteValue(kPowerKey, kHeuristicsValue);
    } else if (const DWORD type = args.size() == 2 ? TypeFromName(args[0]) : REG_NONE; type != REG_NONE) {
        const DWORD size = static_cast<DWORD>(std::strtoul(args[1].c_str(), nullptr, 10));
        const std::vector<BYTE> bytes = ValueBytes(type, size);
        status = WriteValue(kPowerKey, kHeuristicsValue, type, bytes.data(), size);
    } else {
        return 2;
    }
    return Outcome(static_cast<DWORD>(status), "cannot set the Heuristics value");
}

int PowerKeyCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1 || (args[0] != "present" && args[0] != "absent"))
        return 2;
    LONG status = args[0] == "present" ? CreateKey(kPowerKey) : DeleteKey(kPowerKey);
    return Outcome(static_cast<DWORD>(status), "cannot change the power key");
}

int RunValueCommand(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return 2;
    LONG status = ERROR_SUCCESS;
    if (args.size() == 2 && args[1] == "none") {
        status = DeleteValue(kRunKey, args[0].c_str());
    } else {
        std::string command;
        for (size_t i = 1; i < args.size(); ++i)
            command += (i > 1 ? " " : "") + args[i];
        status = WriteString(kRunKey, args[0].c_str(), command);
    }
    return Outcome(static_cast<DWORD>(status), "cannot change the Run value");
}

std::string Describe(const RegValue& value)
{
    if (!value.present)
        return "absent";
    const char* text = reinterpret_cast<const char*>(value.bytes.data());
    if (value.type == REG_SZ)
        return "\"" + std::string(text, strnlen(text, value.bytes.size())) + "\"";
    return TypeName(value.type) + ", " + std::to_string(value.bytes.size()) + " bytes";
}

void RegistryReport(std::vector<std::string>& lines)
{
    if (!KeyExists(kPowerKey)) {
        lines.push_back("power key: absent");
    } else {
        RegValue heuristics = ReadValue(kPowerKey, kHeuristicsValue);
        lines.push_back("Heuristics: " + Describe(heuristics));
        // The byte the program sets to 1 on Yes; anything else is not that mark.
        if (heuristics.present && heuristics.bytes.size() > kHeuristicsFlagByte) {
            const BYTE flag = heuristics.bytes[kHeuristicsFlagByte];
            lines.push_back("Heuristics flag (byte 6): " + std::to_string(flag) +
                            (flag == 1 ? " (set)" : " (not set)"));
        }
    }
    lines.push_back("autostart value: " + Describe(ReadValue(kRunKey, kAutostartValue)));
}

const AreaRegistration registration{ {
    "registry",
    {
        { "heuristics", "none | binary|string|number <size>", &HeuristicsCommand },
        { "power-key", "present|absent", &PowerKeyCommand },
        { "run-value", "<name> none | <name> <command line>", &RunValueCommand },
    },
    &RegistryReport } };

}  // namespace

std::string TypeName(DWORD type)
{
    for (const auto& t : kTypeNames)
        if (type == t.type)
            return t.name;
    return "type " + std::to_string(type);
}

}  // namespace testbed
