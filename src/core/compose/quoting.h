// Quoting a shown message into a reply: the body re-wrapped behind ">" with
// an attribution line, and the prefixed copy that Include inserts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

class Message;

// Appends one line quoted with ">" and wrapped at width columns: a word that
// does not fit starts a new ">" line, a word longer than width stands alone.
void wrapAndReplyLine(std::string_view line, std::string& out, int width);

// What follows the first empty line of a shown message's text (its body);
// the whole text when it has no empty line.
std::string_view bodyOfShownText(std::string_view text);

// Every line of body through wrapAndReplyLine; empty lines become ">" when
// quoteEmptyLines, else stay empty.
std::string wrappedQuote(std::string_view body, int width, bool quoteEmptyLines);

// "On <date>, <sender> said:" for the message's Reply-To (else From), or
// without the date when it has none; "" when it has neither address.
std::string quoteAttribution(const Message& source);

// text wrapped at width columns, each line with prefix in front.
std::string prefixedLines(std::string_view text, int width, std::string_view prefix);

}  // namespace quill
