#include "platform/UserInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>

namespace quill {
namespace {

std::optional<UserInfo>& installed() {
    static std::optional<UserInfo> info;
    return info;
}

std::string realNameFromGecos(const char* gecos) {
    std::string name = gecos ? gecos : "";
    auto comma = name.find(',');
    if (comma != std::string::npos) name.resize(comma);
    return name;
}

}  // namespace

UserInfo userInfoFromSystem() {
    UserInfo info;
    if (const passwd* pw = ::getpwuid(::getuid())) {
        info.loginName = pw->pw_name ? pw->pw_name : "";
        info.homeDir = pw->pw_dir ? pw->pw_dir : "";
        info.realName = realNameFromGecos(pw->pw_gecos);
    }
    if (const char* home = std::getenv("HOME"); home && *home) info.homeDir = home;
    if (info.loginName.empty()) {
        if (const char* user = std::getenv("USER")) info.loginName = user;
    }
    return info;
}

const UserInfo& currentUser() {
    if (!installed()) installed() = userInfoFromSystem();
    return *installed();
}

void setCurrentUser(UserInfo info) { installed() = std::move(info); }

std::string expandTilde(const std::string& path) {
    if (path.empty() || path[0] != '~') return path;
    auto slash = path.find('/');
    std::string name = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    std::string rest = slash == std::string::npos ? "" : path.substr(slash);
    if (name.empty()) return currentUser().homeDir + rest;
    if (const passwd* pw = ::getpwnam(name.c_str())) return std::string(pw->pw_dir) + rest;
    return path;
}

}  // namespace quill
