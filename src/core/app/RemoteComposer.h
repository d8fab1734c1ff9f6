// A compose window as other programs fill it: through the mail service, a
// mailto link or the command line. Texts are ISO 8859-1.
#pragma once

#include <string>

namespace quill {

class RemoteComposer {
  public:
    // The compose window's field numbers.
    enum Field { To = 0, Subject = 1, Cc = 2, Bcc = 3 };

    virtual ~RemoteComposer() = default;
    virtual void setField(int field, const std::string& value) = 0;
    // Replaces the whole text and marks the window as edited.
    virtual void setBody(const std::string& text) = 0;
    virtual void addAttachment(const std::string& path) = 0;
    // Runs the window's delivery as if the user had pressed Deliver.
    virtual void performDeliver() = 0;
    virtual void orderFront() = 0;
};

}  // namespace quill
