// MailClass: what the application knows about one message format class
// before it has an instance: its label and icon for the format button, whether
// it can compose, how willing it is to decode a header block, and how to make
// an empty message of it. Each format class publishes one constant MailClass;
// MailMessage keeps the registered ones in registration order.
#pragma once

#include <memory>

namespace quill {

class MailHeaders;
class MailMessage;

struct MailClass {
    const char* name;
    const char* formatLabel;
    const char* formatIcon;  // image name
    bool canCompose;
    // A number between 0 and 1; the most willing registered class reads the body.
    double (*willingnessToDecode)(const MailHeaders& headers);
    std::unique_ptr<MailMessage> (*create)();
};

}  // namespace quill
