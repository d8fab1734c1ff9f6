// UserInfo: who the user is and where home is. The application fills it once at
// start-up (from the password entry and HOME); tests install their own.
#pragma once

#include <string>

namespace quill {

struct UserInfo {
    std::string loginName;
    std::string homeDir;
    std::string realName;  // the full name from the password entry's comment field
};

// The current user; read from the password entry until something is installed.
const UserInfo& currentUser();
void setCurrentUser(UserInfo info);
// The password entry of the running user, with HOME preferred for the home directory.
UserInfo userInfoFromSystem();

// "~" and "~/x" become the home directory; "~name/x" that user's home.
std::string expandTilde(const std::string& path);

}  // namespace quill
