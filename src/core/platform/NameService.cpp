#include "platform/NameService.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/bigendian.h"

namespace quill {
namespace {

constexpr std::size_t kMaxMessage = 4096;

bool addressOf(const std::string& name, sockaddr_un& address) {
    std::string path = NameService::pathOf(name);
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

UniqueFd datagramSocket() {
    return UniqueFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

// Our own directory with nobody else allowed in.
bool privateDirectory(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        return false;
    }
    return (st.st_mode & 077) == 0 || ::chmod(dir.c_str(), 0700) == 0;
}

}  // namespace

std::string NameService::runtimeDirectory() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    std::string dir =
        xdg && *xdg ? std::string(xdg) + "/quill" : "/tmp/quill-" + std::to_string(::getuid());
    return privateDirectory(dir) ? dir : std::string();
}

std::string NameService::pathOf(const std::string& name) {
    std::string dir = runtimeDirectory();
    if (dir.empty() || name.empty()) return {};
    std::string safe = name;
    for (char& c : safe) {
        if (c == '/' || c == '\0') c = '_';
    }
    return dir + "/" + safe;
}

UniqueFd NameService::checkIn(const std::string& name) {
    sockaddr_un address;
    if (!addressOf(name, address) || lookUp(name)) return {};
    ::unlink(address.sun_path);  // a port whose owner died
    UniqueFd fd = datagramSocket();
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return {};
    }
    return fd;
}

bool NameService::checkOut(const std::string& name) {
    std::string path = pathOf(name);
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

bool NameService::lookUp(const std::string& name) {
    sockaddr_un address;
    UniqueFd fd = datagramSocket();
    return addressOf(name, address) && fd &&
           ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool NameService::send(const std::string& name, int msgid, std::string_view data) {
    sockaddr_un address;
    UniqueFd fd = datagramSocket();
    if (!addressOf(name, address) || !fd || data.size() + 4 > kMaxMessage) return false;
    std::string packet;
    appendU32(packet, static_cast<std::uint32_t>(msgid));
    packet.append(data);
    // A full queue is waited out: a report must not be lost.
    for (int attempt = 0; attempt < 500; ++attempt) {
        ssize_t n = ::sendto(fd.get(), packet.data(), packet.size(), 0,
                             reinterpret_cast<sockaddr*>(&address), sizeof address);
        if (n == static_cast<ssize_t>(packet.size())) return true;
        if (n >= 0 || (errno != EAGAIN && errno != EINTR && errno != ENOBUFS)) return false;
        ::usleep(10000);
    }
    return false;
}

bool NameService::receive(int fd, int& msgid, std::string& data) {
    char buffer[kMaxMessage];
    ssize_t n;
    do {
        n = ::recv(fd, buffer, sizeof buffer, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 4) return false;
    msgid = getI32(buffer);
    data.assign(buffer + 4, static_cast<std::size_t>(n) - 4);
    return true;
}

std::string NameService::words(std::int32_t first, std::int32_t second) {
    std::string out;
    appendU32(out, static_cast<std::uint32_t>(first));
    appendU32(out, static_cast<std::uint32_t>(second));
    return out;
}

std::int32_t NameService::wordAt(std::string_view data, std::size_t index) {
    if (data.size() < 4 * (index + 1)) return 0;
    return getI32(data.data() + 4 * index);
}

}  // namespace quill
