// quilltool alias and complete: the address book as Quill loads it (the
// information service, "PeopleDir", the private ".mailalias" and the user's
// own people directory). alias prints one line per name: the name, its kind,
// its members and the user it stands for, tab-separated; --expand prints the
// names expanded as delivery expands them, one address a line. complete prints
// every completion of a prefix in the order the completion key gives them.
#include "addressbook/Alias.h"

#include <cstdio>
#include <string>

#include "commands.h"
#include "message/StringList.h"

namespace quill::tool {
namespace {

const char* kindOf(const AliasEntry& entry) {
    if (entry.local) return "private";
    if (!entry.alias) return "user";
    return entry.group ? "group" : "alias";
}

std::string joined(const std::vector<std::string>& members) {
    std::string out;
    for (const std::string& m : members) out += (out.empty() ? "" : ", ") + m;
    return out;
}

int printExpansion(AliasBook& book, const Args& names) {
    StringList list;
    for (const std::string& name : names) list.addParsedAddressesFrom(name);
    book.expandAliases(list);
    for (const std::string& address : list) std::printf("%s\n", address.c_str());
    return 0;
}

}  // namespace

int runAlias(const Args& args) {
    bool expand = !args.empty() && args[0] == "--expand";
    Args names(args.begin() + (expand ? 1 : 0), args.end());
    if (names.empty()) {
        std::fputs("usage: quilltool alias [--expand] NAME...\n", stderr);
        return kUsageError;
    }
    AliasBook& book = Alias::shared().book();
    if (expand) return printExpansion(book, names);
    book.classify();
    int status = 0;
    for (const std::string& name : names) {
        AliasEntry* entry = book.getentry(name);
        if (!entry) {
            std::fprintf(stderr, "quilltool: %s: no such name\n", name.c_str());
            status = 1;
            continue;
        }
        std::printf("%s\t%s\t%s\t%s\n", entry->name.c_str(), kindOf(*entry),
                    joined(entry->members).c_str(), book.findUser(name).value_or("").c_str());
    }
    return status;
}

int runComplete(const Args& args) {
    if (args.size() != 1) {
        std::fputs("usage: quilltool complete PREFIX\n", stderr);
        return kUsageError;
    }
    AliasBook& book = Alias::shared().book();
    int typed = static_cast<int>(args[0].size());
    for (auto name = book.completeAddress(args[0], typed); name;
         name = book.completeAddress(*name, typed))
        std::printf("%s\n", name->c_str());
    return 0;
}

}  // namespace quill::tool
