#include "message/MailtoURL.h"

#include "base/ascii.h"
#include "base/utf8.h"

namespace quill {
namespace {

constexpr std::string_view kScheme = "mailto:";

// "%hh" becomes its byte; a "%" without two hex digits stays as it is. A "+"
// is a plus sign here, not a blank.
std::string percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Links carry UTF-8; older ones Latin-1, which is kept as it is.
std::string latin1Text(std::string_view encoded) {
    std::string bytes = percentDecoded(encoded);
    return isValidUtf8(bytes) ? utf8ToLatin1(bytes) : bytes;
}

std::string withoutCarriageReturns(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') out += text[i];
    return out;
}

// A header field is one line.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

void appendAddresses(std::string& field, std::string_view addresses) {
    std::string_view trimmedAddresses = trimmed(addresses);
    if (trimmedAddresses.empty()) return;
    if (!field.empty()) field += ", ";
    field += trimmedAddresses;
}

std::string attachmentPath(std::string_view value) {
    std::string path = percentDecoded(value);
    if (startsWithIgnoringCase(path, "file://")) path = percentDecoded(path.substr(7));
    return path;
}

}  // namespace

bool MailtoURL::isMailto(std::string_view text) { return startsWithIgnoringCase(text, kScheme); }

MailtoURL MailtoURL::parse(std::string_view url) {
    MailtoURL result;
    if (size_t colon = url.find(':'); colon != std::string_view::npos) url.remove_prefix(colon + 1);
    url = url.substr(0, url.find('#'));
    size_t question = url.find('?');
    appendAddresses(result.to, oneLine(latin1Text(url.substr(0, question))));
    if (question == std::string_view::npos) return result;
    std::string_view query = url.substr(question + 1);
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        size_t equals = pair.find('=');
        if (equals != std::string_view::npos)
            result.addField(lowercased(percentDecoded(pair.substr(0, equals))),
                            pair.substr(equals + 1));
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return result;
}

void MailtoURL::addField(std::string_view name, std::string_view value) {
    if (name == "to")
        appendAddresses(to, oneLine(latin1Text(value)));
    else if (name == "cc")
        appendAddresses(cc, oneLine(latin1Text(value)));
    else if (name == "bcc")
        appendAddresses(bcc, oneLine(latin1Text(value)));
    else if (name == "subject")
        subject = oneLine(latin1Text(value));
    else if (name == "body")
        body += (body.empty() ? "" : "\n") + withoutCarriageReturns(latin1Text(value));
    else if (name == "attach" || name == "attachment")
        attachments.push_back(attachmentPath(value));
}

}  // namespace quill
