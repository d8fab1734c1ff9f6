// One message received on one of the application's ports: its id and its bytes.
#pragma once

#include <string>

namespace quill {

struct PortMessage {
    int msgid = 0;
    std::string data;
};

}  // namespace quill
