// URLFilter: the display filter that finds URLs in the text of a shown
// message and puts a link button (URLMailCell) just before each. A URL is a
// known scheme ("http", "mailto", ...) followed by ":/" and runs to white
// space, a quote, a parenthesis or an angle bracket; one trailing sentence
// mark is left out, so a link that ends a sentence stops before its full stop.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "richtext/TextView.h"

namespace quill {

class URLFilter {
  public:
    // Where one URL stands in a text.
    struct Link {
        size_t start;
        size_t length;
        auto operator<=>(const Link&) const = default;
    };

    // The URLs of text, in order.
    static std::vector<Link> findLinks(std::string_view text);
    // Puts a link button before every URL of view, unless "ShowURLs" is off.
    // The URL text stays; the selection ends at the start of the text.
    static void willDisplayText(TextView& view);
    // The same whatever "ShowURLs" says.
    static void insertLinkCells(TextView& view);

  private:
    static bool isKnownProtocol(std::string_view scheme);
    static size_t schemeStart(std::string_view text, size_t colon);
    static size_t urlEnd(std::string_view text, size_t from);
};

}  // namespace quill
