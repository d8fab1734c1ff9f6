// quilltool: Quill's mailboxes from the command line, for users who script
// their mail and for tests. Each command is one function in its own file;
// adding a command means adding a row to the table below. Like Quill it reads
// the user's settings ($XDG_CONFIG_HOME/Quill/Quill.conf, or --config FILE),
// so it indexes and incorporates exactly as Quill would.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/FileHandles.h"
#include "commands.h"
#include "qtcore/QSettingsDefaultsStore.h"
#include "settings/Defaults.h"

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
    {"encode",
     "encode [--format mime|native|plain] [--rich FILE.rtf] [--attach FILE]... [--subject TEXT] "
     "TEXTFILE",
     quill::tool::runEncode},
    {"show", "show MAILBOX INDEX [--all-headers] [--latin1]", quill::tool::runShow},
    {"compact", "compact MAILBOX", quill::tool::runCompact},
    {"delete", "delete MAILBOX INDEX...", quill::tool::runDelete},
    {"transfer", "transfer FROM TO INDEX...", quill::tool::runTransfer},
    {"paste", "paste MAILBOX  (text on standard input)", quill::tool::runPaste},
    {"send",
     "send [--to A]... [--cc A]... [--bcc A]... --subject S [--attach FILE]... "
     "[--format mime|native|plain] [--rich FILE.rtf] [BODYFILE|-]",
     quill::tool::runSend},
    {"alias", "alias [--expand] NAME...", quill::tool::runAlias},
    {"complete", "complete PREFIX", quill::tool::runComplete},
    {"find", "find MAILBOX TEXT [--regex] [--case] [--summaries]", quill::tool::runFind},
    {"service", "service METHOD [TEXT] [HANDLE]", quill::tool::runService},
};

int usage() {
    std::fputs("usage:\n", stderr);
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  quilltool [--config FILE] %s\n", c.usage);
    return quill::tool::kUsageError;
}

}  // namespace

namespace quill::tool {

std::string mailboxPath(const std::string& argument) {
    struct stat st;
    if (argument.empty() || argument[0] == '/' || ::stat(argument.c_str(), &st) == 0)
        return argument;
    return Defaults::shared().mailDirectory() + "/" + argument;
}

std::optional<std::string> readFileArgument(const Args& args, const char* command, int& status) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quilltool %s FILE\n", command);
        status = kUsageError;
        return std::nullopt;
    }
    std::string bytes;
    if (!readFile(args[0], bytes)) {
        std::perror(args[0].c_str());
        status = 1;
        return std::nullopt;
    }
    return bytes;
}

}  // namespace quill::tool

int main(int argc, char** argv) {
    int first = 1;
    std::string config = quill::QSettingsDefaultsStore::defaultPath();
    if (argc > 2 && std::strcmp(argv[1], "--config") == 0) {
        config = argv[2];
        first = 3;
    }
    if (argc <= first) return usage();
    quill::Defaults::shared().setStore(std::make_shared<quill::QSettingsDefaultsStore>(config));
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[first], c.name) == 0)
            return c.run(Args(argv + first + 1, argv + argc));
    }
    return usage();
}
