// A "mailto:" link taken apart into the compose window's fields: the
// addresses before "?" and the hfields after it, percent-decoded, with the
// text fields converted from UTF-8 to ISO 8859-1 when they are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill {

class MailtoURL {
  public:
    // Whether text starts with the scheme "mailto:" (in any case).
    static bool isMailto(std::string_view text);
    // Reads a link; anything before the scheme's colon is not looked at, a
    // "#" ends the link, unknown hfields are skipped.
    static MailtoURL parse(std::string_view url);

    // Addresses joined with ", "; line breaks in a header field become blanks.
    std::string to, cc, bcc, subject;
    // Several "body" hfields are joined by a line break; CRLF becomes LF.
    std::string body;
    // Files named by "attach" or "attachment" (a path or a "file://" URL), as bytes.
    std::vector<std::string> attachments;

  private:
    void addField(std::string_view name, std::string_view value);
};

}  // namespace quill
