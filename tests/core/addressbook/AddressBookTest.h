// A temporary address book: every source under the test's directory, the
// information service a table of maps, loaded on its own thread as in Quill.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "addressbook/Alias.h"
#include "support/QuillTest.h"

namespace quill::test {

class AddressBookTest : public QuillTest {
  protected:
    std::string peopleDir() const { return tmp() + "/people"; }
    std::string defaultPeopleDir() const { return tmp() + "/default-people"; }
    std::string privateFile() const { return home() + "/.config/Quill/.mailalias"; }
    std::string userPeopleDir() const { return home() + "/.config/Quill/Images/People"; }

    AliasSources sources() {
        AliasSources s;
        s.peopleDir = peopleDir();
        s.defaultPeopleDir = defaultPeopleDir();
        s.privateFile = privateFile();
        s.userPeopleDir = userPeopleDir();
        s.nis = [this](const char* map, const MapVisitor& visit) {
            auto found = nisMaps.find(map);
            if (found == nisMaps.end()) return false;
            for (const auto& [key, value] : found->second) visit(key, value);
            return true;
        };
        return s;
    }

    // A fresh book loaded from the sources as they are now.
    AliasBook& load() {
        alias = std::make_unique<Alias>();
        alias->forkedInitialize(sources());
        return alias->book();
    }
    PrivateAliases& privates() { return alias->privateAliases(); }

    std::map<std::string, std::vector<std::pair<std::string, std::string>>> nisMaps;
    std::unique_ptr<Alias> alias;
};

}  // namespace quill::test
