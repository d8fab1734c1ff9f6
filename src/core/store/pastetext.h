// Text pasted into a mailbox as a message: text that is not already in
// mailbox form gets an envelope line and a header made up for the user, with
// a subject taken from its first characters, and every message ends with an
// empty line.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "platform/UserInfo.h"

namespace quill {

// The bytes to append to "mbox" for pasted `text`, dated `now`.
std::string pastedMessage(std::string_view text, const UserInfo& user, std::time_t now);
// The "Date:" value for a moment: "Sun, 06 Dec 2026 15:39:05 +0100".
std::string mailDateText(std::time_t when);

}  // namespace quill
