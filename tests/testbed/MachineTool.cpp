// sentavio-machine.exe <command> [args]: puts the simulated machine into a
// named state, or reports it. The commands come from the areas that
// register themselves in the test bed library.
#include "Machine.h"

#include <cstdio>
#include <cstring>

namespace {

void PrintUsage()
{
    std::fprintf(stderr, "usage: sentavio-machine <command> [args]\n");
    std::fprintf(stderr, "  report\n");
    for (const testbed::Area& area : testbed::Areas())
        for (const testbed::Command& command : area.commands)
            std::fprintf(stderr, "  %s %s\n", command.name, command.usage);
}

int Report()
{
    std::vector<std::string> lines;
    for (const testbed::Area& area : testbed::Areas())
        if (area.report != nullptr)
            area.report(lines);
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintUsage();
        return 2;
    }
    if (std::strcmp(argv[1], "report") == 0 && argc == 2)
        return Report();
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const testbed::Area& area : testbed::Areas())
        for (const testbed::Command& command : area.commands) {
            if (std::strcmp(argv[1], command.name) != 0)
                continue;
            int status = command.handler(args);
            if (status == 2)
                std::fprintf(stderr, "usage: sentavio-machine %s %s\n", command.name, command.usage);
            return status;
        }
    PrintUsage();
    return 2;
}
