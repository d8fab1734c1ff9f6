// Address-book files: the bytes as a people directory's "aliases" and
// "passwd" (the first file of the pair) and as the private ".mailalias" (the
// second), loaded, looked up, completed, expanded and saved. Saving what was
// saved must change nothing: no round trip loses more than the first (which
// drops what the format cannot hold, such as a name that starts with "#").
#include <cstdlib>

#include "addressbook/AliasLoader.h"
#include "addressbook/PrivateAliases.h"
#include "message/StringList.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

namespace {

std::string loadAndSave(const AliasSources& sources) {
    AliasBook book;
    AliasLoader(book, sources).load();
    book.classify();
    for (AliasEntry* entry : book.table()) {
        book.getreal(entry);
        std::string text = entry->name.substr(0, 2);
        for (int i = 0; i < 3 && book.completeAddress(text, 2); ++i)
            text = *book.completeAddress(text, 2);
        if (!entry->local) continue;
        StringList list;
        list.addString(entry->name);
        book.expandAliases(list);
    }
    return PrivateAliases(book, sources.privateFile).fileText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment& env = fuzz::FuzzEnvironment::shared();
    const std::string& dir = env.freshScratch();
    auto [people, privateFile] = fuzz::FuzzEnvironment::splitPair(data, size);
    fuzz::FuzzEnvironment::writeFile(dir + "/aliases", people);
    fuzz::FuzzEnvironment::writeFile(dir + "/passwd", people);
    fuzz::FuzzEnvironment::writeFile(dir + "/.mailalias", privateFile);
    AliasSources sources;
    sources.loadNIS = false;
    sources.peopleDir = dir;
    sources.privateFile = dir + "/.mailalias";
    std::string saved = loadAndSave(sources);
    for (int round = 0; round < 2; ++round) {
        fuzz::FuzzEnvironment::writeFile(sources.privateFile, saved);
        std::string again = loadAndSave(sources);
        if (round == 1 && again != saved) std::abort();
        saved = again;
    }
    return 0;
}
