#include "compose/quoting.h"

#include <ctime>

#include "base/ByteSink.h"
#include "base/Diagnostics.h"
#include "base/ascii.h"
#include "message/MailMessage.h"
#include "message/date.h"
#include "platform/Localized.h"
#include "store/Message.h"

namespace quill {
namespace {

// Text as the platform formats its object argument: "%@" becomes "%s".
std::string withObjectAsString(std::string format) {
    for (size_t at = format.find("%@"); at != std::string::npos; at = format.find("%@", at))
        format[at + 1] = 's';
    return format;
}

// Length of the leading run of white space plus the run of non-white
// characters after it.
size_t readWord(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    while (i < text.size() && !isSpace(text[i])) ++i;
    return i;
}

}  // namespace

void wrapAndReplyLine(std::string_view line, std::string& out, int width) {
    out += '>';
    int column = 1;
    for (size_t length; (length = readWord(line)) > 0; line.remove_prefix(length)) {
        std::string_view word = line.substr(0, length);
        std::string_view bare = trimmedFront(word, isSpace);
        if (column == 1 || column + static_cast<int>(length) < width) {
            std::string_view piece = column == 1 ? bare : word;
            out += piece;
            column += static_cast<int>(piece.size());
        } else {
            out += "\n>";
            out += bare;
            column = static_cast<int>(bare.size()) + 1;
        }
        if (column > width) {
            out += "\n>";
            column = 1;
        }
    }
    out += '\n';
}

std::string_view bodyOfShownText(std::string_view text) {
    if (text.starts_with('\n')) return text.substr(1);
    size_t gap = text.find("\n\n");
    return gap == std::string_view::npos ? text : text.substr(gap + 2);
}

std::string wrappedQuote(std::string_view body, int width, bool quoteEmptyLines) {
    std::string out;
    while (!body.empty()) {
        size_t end = body.find('\n');
        std::string_view line = body.substr(0, end);
        if (line.empty())
            out += quoteEmptyLines ? ">\n" : "\n";
        else
            wrapAndReplyLine(line, out, width);
        body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
    }
    return out;
}

std::string quoteAttribution(const Message& source) {
    const std::string* sender = source.get("Reply-To:");
    if (!sender) sender = source.get("From:");
    if (!sender) return "";
    const std::string* written = source.get("Date:");
    std::optional<std::tm> date = written ? localFullDate(*written) : std::nullopt;
    if (!date) return formatString(localized(kUITable, "%s said:\n").c_str(), sender->c_str());
    char day[64];
    std::strftime(day, sizeof day, "%b %d, %Y", &*date);
    std::string format = withObjectAsString(localized(kUITable, "On %@, %s said:\n"));
    return formatString(format.c_str(), day, sender->c_str());
}

std::string prefixedLines(std::string_view text, int width, std::string_view prefix) {
    MailMessage wrapper;
    wrapper.setBody(text);
    ByteSink sink;
    wrapper.writeBodyToStreamWrapAtColumn(sink, width + 2);
    std::string_view wrapped = sink.bytes();
    std::string out;
    while (!wrapped.empty()) {
        size_t end = wrapped.find('\n');
        size_t take = end == std::string_view::npos ? wrapped.size() : end + 1;
        out += prefix;
        out += wrapped.substr(0, take);
        wrapped.remove_prefix(take);
    }
    return out;
}

}  // namespace quill
