// NameService: ports registered under a name, for messages between the
// threads and programs of one user on this host. A registered port is a
// Unix-domain datagram socket in the user's runtime directory
// ($XDG_RUNTIME_DIR/quill, else /tmp/quill-UID, mode 0700); a message is a
// 4-byte big-endian id followed by its bytes. The fetch program reports to
// the application this way, and finds out whether another fetch runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/FileHandles.h"

namespace quill {

class NameService {
  public:
    // The directory holding the ports; made (mode 0700) when missing. "" when
    // it cannot be made or is not ours.
    static std::string runtimeDirectory();
    // The socket path of a port name (names are made file-safe).
    static std::string pathOf(const std::string& name);

    // Registers `name` and answers the receiving socket (non-blocking), or an
    // invalid descriptor when the name is taken by a live port or cannot be made.
    static UniqueFd checkIn(const std::string& name);
    // Withdraws the name; false when it was not registered.
    static bool checkOut(const std::string& name);
    // Whether a live port is registered under the name.
    static bool lookUp(const std::string& name);

    // Sends one message to the port of that name; false when nobody listens.
    static bool send(const std::string& name, int msgid, std::string_view data = {});
    // Receives one waiting message from a port made by checkIn; false when none.
    static bool receive(int fd, int& msgid, std::string& data);

    // The two 32-bit words some messages carry (a count, a result and an error).
    static std::string words(std::int32_t first, std::int32_t second = 0);
    static std::int32_t wordAt(std::string_view data, std::size_t index);
};

}  // namespace quill
