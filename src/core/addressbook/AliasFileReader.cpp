#include "addressbook/AliasFileReader.h"

namespace quill {
namespace {

// Letters, digits, punctuation and the blank start a name; anything else
// before them (control bytes, 8-bit bytes) is skipped.
bool startsName(char c) { return c >= ' ' && c <= '~'; }

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

size_t lineEnd(std::string_view text, size_t from) {
    size_t end = text.find('\n', from);
    return end == std::string_view::npos ? text.size() : end;
}

// Calls line(begin, end, number) for every line of the text.
template <typename F>
void forEachLine(std::string_view text, F line) {
    int number = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = lineEnd(text, pos);
        line(pos, end, ++number);
        pos = end + 1;
    }
}

}  // namespace

void AliasFileReader::skipLine(Result& result, int lineNumber) {
    if (result.skipped++ == 0) result.firstSkippedLine = lineNumber;
}

AliasFileReader::Result AliasFileReader::readAliases(std::string_view text,
                                                     const AliasVisitor& visit) {
    Result result;
    forEachLine(text, [&](size_t begin, size_t end, int number) {
        if (begin == end || text[begin] == '\t' || text[begin] == '#') return;
        readAliasLine(text, begin, end, number, result, visit);
    });
    return result;
}

void AliasFileReader::readAliasLine(std::string_view text, size_t begin, size_t end, int lineNumber,
                                    Result& result, const AliasVisitor& visit) {
    while (begin < end && !startsName(text[begin])) ++begin;
    size_t colon = text.substr(0, end).find(':', begin);
    if (colon == std::string_view::npos || colon == begin) return skipLine(result, lineNumber);
    size_t membersBegin = colon + 1;
    visit(text.substr(begin, colon - begin),
          text.substr(membersBegin, listEnd(text, membersBegin) - membersBegin));
    ++result.entries;
}

// The list runs to the first newline that no comma directly precedes.
size_t AliasFileReader::listEnd(std::string_view text, size_t from) {
    size_t end = lineEnd(text, from);
    while (end < text.size() && end > from && text[end - 1] == ',') end = lineEnd(text, end + 1);
    return end;
}

AliasFileReader::Result AliasFileReader::readUsers(std::string_view text,
                                                   const UserVisitor& visit) {
    Result result;
    forEachLine(text, [&](size_t begin, size_t end, int number) {
        if (begin == end || text[begin] == '#') return;
        std::string_view line = text.substr(begin, end - begin);
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return skipLine(result, number);
        visit(line.substr(0, colon));
        ++result.entries;
    });
    return result;
}

std::vector<std::string> AliasFileReader::parseMembers(std::string_view list) {
    size_t firstComma = list.find(',');
    size_t lastColon = list.rfind(':', firstComma);
    size_t pos = lastColon == std::string_view::npos ? 0 : lastColon + 1;
    std::vector<std::string> members;
    while (pos < list.size()) {
        while (pos < list.size() && isWhite(list[pos])) ++pos;
        size_t end = list.find(',', pos);
        if (end == std::string_view::npos) end = list.size();
        if (end > pos) members.emplace_back(list.substr(pos, end - pos));
        pos = end + 1;
    }
    return members;
}

std::string_view AliasFileReader::firstMemberLine(std::string_view list) {
    size_t begin = list.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    return list.substr(begin, lineEnd(list, begin) - begin);
}

}  // namespace quill
