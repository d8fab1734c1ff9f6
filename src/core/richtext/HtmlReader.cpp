#include "richtext/HtmlReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "base/ascii.h"
#include "base/utf8.h"

namespace quill {
namespace {

enum class Kind {
    Block,   // a paragraph of its own
    Line,    // starts and ends a line
    Break,   // br
    Rule,    // hr
    Raw,     // content is not markup and is not shown (scripts, styles)
    Hidden,  // content is markup that is not shown (forms controls, objects)
    Bold,
    Italic,
    Underline,
    Mono,
    Pre,
    Heading,
    List,
    OrderedList,
    Item,
    Quote,
    Row,
    Cell,
    HeaderCell,
    Link,
    Image,
};

struct Element {
    std::string_view name;
    Kind kind;
};

constexpr Element kElements[] = {
    {"p", Kind::Block},          {"h1", Kind::Heading},     {"h2", Kind::Heading},
    {"h3", Kind::Heading},       {"h4", Kind::Heading},     {"h5", Kind::Heading},
    {"h6", Kind::Heading},       {"table", Kind::Block},    {"dl", Kind::Block},
    {"div", Kind::Line},         {"section", Kind::Line},   {"article", Kind::Line},
    {"header", Kind::Line},      {"footer", Kind::Line},    {"nav", Kind::Line},
    {"address", Kind::Line},     {"center", Kind::Line},    {"form", Kind::Line},
    {"dt", Kind::Line},          {"dd", Kind::Line},        {"caption", Kind::Line},
    {"main", Kind::Line},        {"aside", Kind::Line},     {"figure", Kind::Line},
    {"br", Kind::Break},         {"hr", Kind::Rule},        {"script", Kind::Raw},
    {"style", Kind::Raw},        {"title", Kind::Raw},      {"textarea", Kind::Raw},
    {"iframe", Kind::Raw},       {"xmp", Kind::Raw},        {"noembed", Kind::Raw},
    {"noframes", Kind::Raw},     {"head", Kind::Hidden},    {"object", Kind::Hidden},
    {"applet", Kind::Hidden},    {"select", Kind::Hidden},  {"button", Kind::Hidden},
    {"frameset", Kind::Hidden},  {"svg", Kind::Hidden},     {"math", Kind::Hidden},
    {"template", Kind::Hidden},  {"video", Kind::Hidden},   {"audio", Kind::Hidden},
    {"canvas", Kind::Hidden},    {"b", Kind::Bold},         {"strong", Kind::Bold},
    {"i", Kind::Italic},         {"em", Kind::Italic},      {"cite", Kind::Italic},
    {"var", Kind::Italic},       {"u", Kind::Underline},    {"ins", Kind::Underline},
    {"tt", Kind::Mono},          {"code", Kind::Mono},      {"kbd", Kind::Mono},
    {"samp", Kind::Mono},        {"pre", Kind::Pre},        {"ul", Kind::List},
    {"menu", Kind::List},        {"ol", Kind::OrderedList}, {"li", Kind::Item},
    {"blockquote", Kind::Quote}, {"tr", Kind::Row},         {"td", Kind::Cell},
    {"th", Kind::HeaderCell},    {"a", Kind::Link},         {"img", Kind::Image},
};

struct Entity {
    std::string_view name;
    char32_t code;
};

constexpr Entity kEntities[] = {
    {"amp", '&'},      {"lt", '<'},        {"gt", '>'},       {"quot", '"'},      {"apos", '\''},
    {"nbsp", 0xA0},    {"copy", 0xA9},     {"reg", 0xAE},     {"trade", 0x2122},  {"mdash", 0x2014},
    {"ndash", 0x2013}, {"hellip", 0x2026}, {"lsquo", 0x2018}, {"rsquo", 0x2019},  {"ldquo", 0x201C},
    {"rdquo", 0x201D}, {"bull", 0x2022},   {"middot", 0xB7},  {"laquo", 0xAB},    {"raquo", 0xBB},
    {"euro", 0x20AC},  {"pound", 0xA3},    {"yen", 0xA5},     {"cent", 0xA2},     {"sect", 0xA7},
    {"deg", 0xB0},     {"plusmn", 0xB1},   {"times", 0xD7},   {"divide", 0xF7},   {"para", 0xB6},
    {"shy", 0xAD},     {"zwnj", 0x200C},   {"zwj", 0x200D},   {"thinsp", 0x2009}, {"ensp", 0x2002},
    {"emsp", 0x2003},  {"auml", 0xE4},     {"ouml", 0xF6},    {"uuml", 0xFC},     {"Auml", 0xC4},
    {"Ouml", 0xD6},    {"Uuml", 0xDC},     {"szlig", 0xDF},   {"eacute", 0xE9},   {"egrave", 0xE8},
    {"ecirc", 0xEA},   {"Eacute", 0xC9},   {"agrave", 0xE0},  {"aacute", 0xE1},   {"acirc", 0xE2},
    {"ccedil", 0xE7},  {"iacute", 0xED},   {"oacute", 0xF3},  {"ograve", 0xF2},   {"uacute", 0xFA},
    {"ntilde", 0xF1},  {"oslash", 0xF8},   {"aring", 0xE5},   {"aelig", 0xE6},    {"iexcl", 0xA1},
    {"iquest", 0xBF},
};

// Names of void elements never get an end tag, so they must not open a hidden region.
constexpr std::string_view kVoid[] = {"br",    "hr",     "img",   "input", "meta",
                                      "link",  "base",   "area",  "col",   "embed",
                                      "param", "source", "track", "wbr",   "keygen"};

constexpr float kIndentStep = 24.0f;
constexpr std::size_t kDeepestIndent = 8;
constexpr float kHeadingGrowth = 4.0f;
constexpr std::string_view kRule = "\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500";

const Element* elementNamed(std::string_view name) {
    for (const Element& element : kElements)
        if (element.name == name) return &element;
    return nullptr;
}

bool isVoid(std::string_view name) {
    return std::find(std::begin(kVoid), std::end(kVoid), name) != std::end(kVoid);
}

// A character reference at text[at] ("&"): its length, with the character
// appended to out; 0 when it is none, so the "&" stays as written.
std::size_t readReference(std::string_view text, std::size_t at, std::string& out) {
    std::size_t i = at + 1;
    if (i < text.size() && text[i] == '#') {
        bool hex = i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
        std::size_t digits = i + (hex ? 2 : 1), end = digits;
        while (end < text.size() && end - digits < 8 &&
               (hex ? hexValue(text[end]) >= 0 : isDigit(text[end])))
            ++end;
        if (end == digits) return 0;
        appendUtf8(out, static_cast<char32_t>(
                            std::strtoul(std::string(text.substr(digits, end - digits)).c_str(),
                                         nullptr, hex ? 16 : 10)));
        return end - at + (end < text.size() && text[end] == ';' ? 1 : 0);
    }
    std::size_t end = i;
    while (end < text.size() && end - i < 10 && isAlnum(text[end])) ++end;
    std::string_view name = text.substr(i, end - i);
    for (const Entity& entity : kEntities) {
        if (entity.name != name) continue;
        appendUtf8(out, entity.code);
        return end - at + (end < text.size() && text[end] == ';' ? 1 : 0);
    }
    return 0;
}

std::string decodeReferences(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t used = text[i] == '&' ? readReference(text, i, out) : 0;
        if (used == 0) out.push_back(text[i++]);
        i += used;
    }
    return out;
}

// Link targets worth showing; "javascript:" and the like are not places.
bool isShownTarget(std::string_view href) {
    std::string scheme = lowercased(href.substr(0, href.find(':') + 1));
    for (std::string_view inert : {"javascript:", "vbscript:", "data:"})
        if (scheme == inert) return false;
    return !href.empty() && href.front() != '#';
}

}  // namespace

RichText HtmlReader::read(std::string_view html, const CharFormat& base) {
    HtmlReader reader(base);
    reader.run(html);
    return std::move(reader.m_out);
}

HtmlReader::HtmlReader(const CharFormat& base) : m_base(base) { m_out.setUtf8(true); }

void HtmlReader::run(std::string_view html) {
    std::size_t at = 0;
    while (at < html.size()) {
        std::size_t open = html.find('<', at);
        if (open == std::string_view::npos) open = html.size();
        if (open > at) text(html.substr(at, open - at));
        if (open == html.size()) break;
        at = readTag(html, open);
    }
    breakLines(1);
    // The text ends with one newline, however many blocks closed at the end.
    const std::string& text = m_out.plainText();
    std::size_t last = text.find_last_not_of('\n');
    std::size_t keep = last == std::string::npos ? 0 : last + 2;
    if (keep < text.size()) m_out.erase(keep, text.size() - keep);
}

// Reads the markup at html[at] ("<") and answers where the text resumes. A
// "<" that opens no markup is text.
std::size_t HtmlReader::readTag(std::string_view html, std::size_t at) {
    std::size_t i = at + 1;
    if (html.substr(at, 4) == "<!--") {
        std::size_t end = html.find("-->", at + 4);
        return end == std::string_view::npos ? html.size() : end + 3;
    }
    if (i < html.size() && (html[i] == '!' || html[i] == '?')) {
        std::size_t end = html.find('>', i);
        return end == std::string_view::npos ? html.size() : end + 1;
    }
    Tag tag;
    tag.closing = i < html.size() && html[i] == '/';
    if (tag.closing) ++i;
    if (i >= html.size() || !isAlpha(html[i])) {
        text(html.substr(at, i - at));
        return i;
    }
    std::size_t nameEnd = i;
    while (nameEnd < html.size() && isAlnum(html[nameEnd])) ++nameEnd;
    tag.name = lowercased(html.substr(i, nameEnd - i));
    i = nameEnd;
    while (i < html.size() && html[i] != '>') {
        if (isSpace(html[i]) || html[i] == '/') {
            ++i;
            continue;
        }
        std::size_t keyEnd = i;
        while (keyEnd < html.size() && !isSpace(html[keyEnd]) && html[keyEnd] != '=' &&
               html[keyEnd] != '>' && html[keyEnd] != '/')
            ++keyEnd;
        std::string key = lowercased(html.substr(i, std::max(keyEnd, i + 1) - i));
        i = std::max(keyEnd, i + 1);
        while (i < html.size() && isSpace(html[i])) ++i;
        if (i >= html.size() || html[i] != '=') continue;
        ++i;
        while (i < html.size() && isSpace(html[i])) ++i;
        std::size_t valueStart = i, valueEnd;
        if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
            valueStart = i + 1;
            valueEnd = std::min(html.find(html[i], valueStart), html.size());
            i = std::min(valueEnd + 1, html.size());
        } else {
            while (i < html.size() && !isSpace(html[i]) && html[i] != '>') ++i;
            valueEnd = i;
        }
        std::string value = decodeReferences(html.substr(valueStart, valueEnd - valueStart));
        if (key == "href") tag.href = std::string(trimmed(value));
        if (key == "alt") tag.alt = value;
    }
    // A tag the input cuts off is dropped, as browsers do.
    if (i >= html.size()) return html.size();
    ++i;
    if (tag.closing) {
        endTag(tag);
        return i;
    }
    startTag(tag);
    const Element* element = elementNamed(tag.name);
    return element && element->kind == Kind::Raw ? skipRawText(html, i, tag.name) : i;
}

// Script and style content ends only at its own end tag.
std::size_t HtmlReader::skipRawText(std::string_view html, std::size_t at,
                                    const std::string& name) {
    std::string closing = "</" + name;
    for (std::size_t i = html.find("</", at); i != std::string_view::npos;
         i = html.find("</", i + 2)) {
        if (lowercased(html.substr(i, closing.size())) != closing) continue;
        std::size_t end = html.find('>', i);
        return end == std::string_view::npos ? html.size() : end + 1;
    }
    return html.size();
}

void HtmlReader::startTag(const Tag& tag) {
    const Element* element = elementNamed(tag.name);
    if (!element) return;
    if (m_hidden > 0) {
        if (element->kind == Kind::Hidden && !isVoid(tag.name)) ++m_hidden;
        return;
    }
    switch (element->kind) {
        case Kind::Block:
            return breakLines(2);
        case Kind::Line:
            return breakLines(1);
        case Kind::Break:
            m_out.append("\n", format(), paragraph());
            m_spacePending = false;
            return;
        case Kind::Rule:
            breakLines(1);
            emit(kRule);
            return breakLines(1);
        case Kind::Raw:
            return;
        case Kind::Hidden:
            if (!isVoid(tag.name)) ++m_hidden;
            return;
        case Kind::Bold:
            ++m_bold;
            return;
        case Kind::Italic:
            ++m_italic;
            return;
        case Kind::Underline:
            ++m_underline;
            return;
        case Kind::Mono:
            ++m_mono;
            return;
        case Kind::Pre:
            breakLines(2);
            ++m_pre;
            ++m_mono;
            return;
        case Kind::Heading:
            breakLines(2);
            ++m_heading;
            return;
        case Kind::List:
        case Kind::OrderedList:
            breakLines(m_lists.empty() ? 2 : 1);
            m_lists.push_back({element->kind == Kind::OrderedList, 1});
            return;
        case Kind::Item:
            return startListItem();
        case Kind::Quote:
            breakLines(2);
            ++m_quote;
            return;
        case Kind::Row:
            breakLines(1);
            m_cells = 0;
            return;
        case Kind::Cell:
        case Kind::HeaderCell:
            if (m_cells++ > 0) emit("\t");
            m_spacePending = false;
            if (element->kind == Kind::HeaderCell) ++m_bold;
            return;
        case Kind::Link:
            m_links.push_back(tag.href);
            m_linkStarts.push_back(m_out.length());
            return;
        case Kind::Image:
            if (!tag.alt.empty()) emit("[" + std::string(trimmed(tag.alt)) + "]");
            return;
    }
}

void HtmlReader::endTag(const Tag& tag) {
    const Element* element = elementNamed(tag.name);
    if (!element) return;
    auto leave = [](int& depth) { depth = std::max(0, depth - 1); };
    if (m_hidden > 0) {
        if (element->kind == Kind::Hidden) leave(m_hidden);
        return;
    }
    switch (element->kind) {
        case Kind::Block:
            return breakLines(2);
        case Kind::Line:
        case Kind::Item:
        case Kind::Row:
            return breakLines(1);
        case Kind::Bold:
            return leave(m_bold);
        case Kind::Italic:
            return leave(m_italic);
        case Kind::Underline:
            return leave(m_underline);
        case Kind::Mono:
            return leave(m_mono);
        case Kind::Pre:
            leave(m_pre);
            leave(m_mono);
            return breakLines(2);
        case Kind::Heading:
            leave(m_heading);
            return breakLines(2);
        case Kind::List:
        case Kind::OrderedList:
            if (!m_lists.empty()) m_lists.pop_back();
            return breakLines(m_lists.empty() ? 2 : 1);
        case Kind::Quote:
            leave(m_quote);
            return breakLines(2);
        case Kind::HeaderCell:
            return leave(m_bold);
        case Kind::Link:
            return endLink();
        default:
            return;
    }
}

void HtmlReader::startListItem() {
    breakLines(1);
    if (m_lists.empty()) return emit("\u2022 ");
    List& list = m_lists.back();
    emit(list.ordered ? std::to_string(list.next++) + ". " : std::string("\u2022 "));
}

// The target follows the text unless the text already says it.
void HtmlReader::endLink() {
    if (m_links.empty()) return;
    std::string href = std::move(m_links.back());
    std::size_t start = std::min(m_linkStarts.back(), m_out.length());
    m_links.pop_back();
    m_linkStarts.pop_back();
    if (!isShownTarget(href)) return;
    std::string_view shown = trimmed(std::string_view(m_out.plainText()).substr(start));
    if (shown == href || "mailto:" + std::string(shown) == href) return;
    emit(" <" + href + ">");
}

void HtmlReader::text(std::string_view raw) {
    if (m_hidden > 0) return;
    std::string decoded = decodeReferences(raw);
    if (m_pre > 0) return emit(decoded);
    std::string out;
    for (char c : decoded) {
        if (isSpace(c)) {
            m_spacePending = true;
            continue;
        }
        bool lineStart = out.empty() && (m_out.empty() || m_out.plainText().back() == '\n');
        if (m_spacePending && !lineStart) out.push_back(' ');
        m_spacePending = false;
        out.push_back(c);
    }
    emit(out);
}

void HtmlReader::emit(std::string_view utf8) {
    if (!utf8.empty()) m_out.append(utf8, format(), paragraph());
}

// Ends the current line and leaves count - 1 empty lines, never at the start.
void HtmlReader::breakLines(int count) {
    m_spacePending = false;
    if (m_out.empty()) return;
    const std::string& text = m_out.plainText();
    std::size_t last = text.find_last_not_of('\n');
    std::size_t have = last == std::string::npos ? text.size() : text.size() - 1 - last;
    for (std::size_t i = have; i < static_cast<std::size_t>(count); ++i)
        m_out.append("\n", format(), paragraph());
}

CharFormat HtmlReader::format() const {
    CharFormat chr = m_base;
    if (m_bold > 0 || m_heading > 0) chr.traits |= kBoldTrait;
    if (m_italic > 0) chr.traits |= kItalicTrait;
    bool inLink = !m_links.empty() && !m_links.back().empty();
    if (m_underline > 0 || inLink) chr.traits |= kUnderlineTrait;
    if (m_mono > 0) chr.font = "Courier";
    if (m_heading > 0) chr.size += kHeadingGrowth;
    return chr;
}

ParagraphFormat HtmlReader::paragraph() const {
    ParagraphFormat para;
    std::size_t depth =
        std::min(kDeepestIndent, m_lists.size() + static_cast<std::size_t>(m_quote));
    para.firstIndent = para.indent = kIndentStep * static_cast<float>(depth);
    return para;
}

}  // namespace quill
