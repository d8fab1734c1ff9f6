// MessageTextSearch: the "Messages" scope of find. A message matches when a
// line of its stored text, or of its native attachment's "index.rtf",
// matches the expression. One message is read on its own; the whole mailbox
// is searched in file order through large reads of "mbox", a slice at a time,
// so a window can keep drawing and offer a cancel between slices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quill {

class FindExpression;
class MailBox;

class MessageTextSearch {
  public:
    MessageTextSearch(MailBox& mailbox, const FindExpression& expression);

    // Whether message `msgId` matches.
    bool matches(int msgId);
    // Searches further through the mailbox until about `byteBudget` bytes
    // were looked at; true once every message has been searched.
    bool searchSome(std::size_t byteBudget);
    // After searchSome finished: whether message `msgId` matched.
    bool found(int msgId) const { return m_found.at(static_cast<std::size_t>(msgId)) != 0; }
    // Share of the mailbox's messages searched so far.
    double fraction() const;

  private:
    bool textMatches(int msgId, std::string_view bytes);
    // Makes m_piece hold the bytes of the next messages in file order from m_next.
    bool readPiece();

    MailBox& m_mailbox;
    const FindExpression& m_expression;
    std::vector<int> m_fileOrder;
    std::vector<char> m_found;
    std::size_t m_next = 0;
    std::string m_piece;
    std::int64_t m_pieceStart = 0;
    std::string m_single;
};

}  // namespace quill
