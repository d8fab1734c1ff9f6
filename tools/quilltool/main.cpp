// quilltool: Quill's mailboxes from the command line, for users who script
// their mail and for tests. Each command is one function in its own file;
// adding a command means adding a row to the table below.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

using quill::tool::Args;

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args& args);
};

constexpr Command kCommands[] = {
    {"toc", "toc [--rebuild] [--count] [--yes] MAILBOX", quill::tool::runToc},
    {"dump-toc", "dump-toc FILE", quill::tool::runDumpToc},
    {"incorporate", "incorporate [--spool FILE] [--fetched] MAILBOX", quill::tool::runIncorporate},
    {"mime", "mime FILE", quill::tool::runMime},
    {"show", "show MAILBOX INDEX [--all-headers]", quill::tool::runShow},
};

int usage() {
    std::fputs("usage:\n", stderr);
    for (const Command& c : kCommands) std::fprintf(stderr, "  quilltool %s\n", c.usage);
    return quill::tool::kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) return c.run(Args(argv + 2, argv + argc));
    }
    return usage();
}
