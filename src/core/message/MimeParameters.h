// MimeParameters: the parameter list of a "Content-Type" or
// "Content-Disposition" header; key = parameter name, value = its unquoted
// value. A header block in every respect.
#pragma once

#include "message/MailHeaders.h"

namespace quill {

class MimeParameters : public MailHeaders {
  public:
    using MailHeaders::MailHeaders;
};

}  // namespace quill
