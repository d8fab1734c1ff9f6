#include "addressbook/AliasSources.h"

#include <cstdlib>

#include "platform/UserInfo.h"
#include "settings/Defaults.h"

namespace quill {

AliasSources AliasSources::fromDefaults() {
    Defaults& defaults = Defaults::shared();
    AliasSources sources;
    sources.loadNIS = defaults.loadNISAddresses();
    sources.loadVexnode = defaults.loadVexnodeAddresses();
    sources.peopleDir = defaults.peopleDir();
    std::string own = userDirectory();
    sources.privateFile = own + "/.mailalias";
    if (!currentUser().homeDir.empty()) sources.userPeopleDir = own + "/Images/People";
    return sources;
}

std::string AliasSources::userDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base = xdg && *xdg ? std::string(xdg) : currentUser().homeDir + "/.config";
    return base + "/Quill";
}

}  // namespace quill
