// cli/norvex_main.cpp: the norvex command, a host program of the library.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"

namespace {

const char kUsage[] =
    "usage: norvex check FILE...    read outlines and show what they hold\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    std::string command = argv[1];
    Arguments arguments(argv + 2, argv + argc);
    if (command == "check") return RunCheck(arguments);
    std::fprintf(stderr, "norvex: unknown command '%s'\n%s", command.c_str(), kUsage);
    return 2;
}
