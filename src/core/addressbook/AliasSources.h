// AliasSources: where the address book loads from, read on the main thread
// before the loading thread starts. In order, the first source that has a
// name wins: the network information service, the people directory's
// "aliases" and "passwd" (each falling back to the default people
// directory's), the private ".mailalias", and the user's own people
// directory. Tests and tools point them at their own files.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quill {

inline constexpr const char* kDefaultPeopleDir = "/usr/local/tessel/Library/Images/People";
inline constexpr const char* kPrivateUsersName = "Private Users";

// Reads one information-service map whole, key and value per record; false
// when the service cannot be reached.
using MapVisitor = std::function<void(std::string_view key, std::string_view value)>;
using MapReader = std::function<bool(const char* map, const MapVisitor& visit)>;

struct AliasSources {
    bool loadNIS = true;       // "LoadNISAddresses"
    bool loadVexnode = false;  // "LoadVexnodeAddresses": no such service here
    std::string peopleDir;     // "PeopleDir"; used only when absolute
    std::string defaultPeopleDir = kDefaultPeopleDir;
    std::string privateFile;    // ".mailalias"
    std::string userPeopleDir;  // empty when the user has no home directory
    MapReader nis;              // empty: the system's client library

    // The settings and the user's directories, as Quill uses them.
    static AliasSources fromDefaults();
    // $XDG_CONFIG_HOME/Quill (else ~/.config/Quill): the user's own directory
    // for Quill, home of ".mailalias" and of the user's people directory.
    static std::string userDirectory();
};

}  // namespace quill
