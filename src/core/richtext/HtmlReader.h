// HtmlReader: an HTML body turned into formatted text for the Unicode
// display, so a message sent only as HTML can be read in the message view.
// It keeps what reading needs — paragraphs and headings, bold, italic and
// underline, monospaced and preformatted text, lists, simple tables,
// character references — and drops everything active or remote: scripts,
// styles, forms, frames, embedded objects and images (an image shows its
// alternative text). Links show their target after their text. The result
// holds text and formats only, so nothing in it can be fetched: showing an
// HTML message never touches the network.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "richtext/RichText.h"

namespace quill {

class HtmlReader {
  public:
    // html is UTF-8; the answer is UTF-8 text in the base format.
    static RichText read(std::string_view html, const CharFormat& base);

  private:
    explicit HtmlReader(const CharFormat& base);
    struct Tag {
        std::string name;  // lower case
        bool closing = false;
        std::string href;  // of an "a" start tag
        std::string alt;   // of an "img" start tag
    };
    struct List {
        bool ordered;
        int next;
    };

    void run(std::string_view html);
    std::size_t readTag(std::string_view html, std::size_t at);
    std::size_t skipRawText(std::string_view html, std::size_t at, const std::string& name);
    void startTag(const Tag& tag);
    void endTag(const Tag& tag);
    void text(std::string_view raw);
    void emit(std::string_view utf8);
    void breakLines(int count);
    void startListItem();
    void endLink();
    CharFormat format() const;
    ParagraphFormat paragraph() const;

    RichText m_out;
    CharFormat m_base;
    int m_bold = 0;
    int m_italic = 0;
    int m_underline = 0;
    int m_mono = 0;
    int m_pre = 0;
    int m_heading = 0;
    int m_quote = 0;
    int m_hidden = 0;  // inside an element whose content is not shown
    int m_cells = 0;   // cells begun on the current table row
    std::vector<List> m_lists;
    std::vector<std::string> m_links;       // targets of the open links
    std::vector<std::size_t> m_linkStarts;  // where their texts begin
    bool m_spacePending = false;
};

}  // namespace quill
