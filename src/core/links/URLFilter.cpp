#include "links/URLFilter.h"

#include <array>

#include "links/URLMailCell.h"
#include "settings/Defaults.h"

namespace quill {

namespace {

constexpr std::array<std::string_view, 10> kKnownProtocols = {
    "http", "ftp", "file", "gopher", "telnet", "wais", "prospero", "news", "nntp", "mailto"};

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool endsURL(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' ||
           std::string_view("\"'()<>").find(c) != std::string_view::npos;
}

bool isSentenceMark(char c) { return std::string_view(".,;:?!").find(c) != std::string_view::npos; }

}  // namespace

bool URLFilter::isKnownProtocol(std::string_view scheme) {
    for (std::string_view known : kKnownProtocols)
        if (scheme == known) return true;
    return false;
}

size_t URLFilter::schemeStart(std::string_view text, size_t colon) {
    // The whole run of letters before ":/" is the scheme, so "xhttp:/" is not a link.
    size_t start = colon;
    while (start > 0 && isLetter(text[start - 1])) --start;
    return start;
}

size_t URLFilter::urlEnd(std::string_view text, size_t from) {
    size_t end = from;
    while (end < text.size() && !endsURL(text[end])) ++end;
    if (end > from && isSentenceMark(text[end - 1])) --end;
    return end;
}

std::vector<URLFilter::Link> URLFilter::findLinks(std::string_view text) {
    std::vector<Link> links;
    size_t from = 0;
    for (;;) {
        size_t colon = text.find(":/", from);
        if (colon == std::string_view::npos) break;
        size_t start = schemeStart(text, colon);
        if (!isKnownProtocol(text.substr(start, colon - start))) {
            from = colon + 1;
            continue;
        }
        size_t end = urlEnd(text, colon);
        links.push_back({start, end - start});
        from = end;
    }
    return links;
}

void URLFilter::willDisplayText(TextView& view) {
    if (Defaults::shared().showURLs()) insertLinkCells(view);
}

void URLFilter::insertLinkCells(TextView& view) {
    std::string text = view.plainText();
    std::vector<Link> links = findLinks(text);
    // From the last link back, so the earlier positions stay where they were.
    for (auto link = links.rbegin(); link != links.rend(); ++link) {
        view.setSel(link->start, link->start);
        view.replaceSelWithDocument(URLMailCell::cellDocument(
            text.substr(link->start, link->length), view.richText().charFormatAt(link->start),
            view.richText().paragraphFormatAt(link->start)));
    }
    view.setSel(0, 0);
}

}  // namespace quill
