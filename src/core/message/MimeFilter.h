// MimeFilter: a display filter for messages shown as plain text. When the
// shown text looks like MIME mail it is parsed again and, if a MIME message
// comes out, the view is replaced by that message rendered with its
// attachments. The filter keeps the last message so its attachment files
// stay while they are shown.
#pragma once

#include <memory>

#include "message/MailMessage.h"

namespace quill {

class TextView;

class MimeFilter {
  public:
    // True when the view was replaced by the rendered message.
    bool filterDisplayText(TextView& view);

  private:
    std::unique_ptr<MailMessage> m_message;
};

}  // namespace quill
