// MailCell: one row of a mailbox window's message list. It carries only what
// the list itself decides: the message index, the flags the window changes
// and where the row's sender, subject and date texts lie in the list's text
// arena once loaded. Date, size and priority stay in the mailbox's index and
// are read from there (TocMatrix::detailsOf), so a row is twelve bytes.
#pragma once

#include <cstdint>
#include <string_view>

#include "reader/TextArena.h"
#include "store/Toc.h"

namespace quill {

// A row's texts; empty until loaded.
struct MailTexts {
    std::string_view from;
    std::string_view subject;
    std::string_view date;
};

// What the mailbox's index says of a row's message.
struct MailDetails {
    std::uint32_t dateVal = 0;
    std::int32_t size = 0;
    std::uint32_t priority = 0;
};

class MailCell {
  public:
    MailCell() = default;
    explicit MailCell(const MsgListRecord& record) : m_msgId(record.index), m_flags(record.flags) {}

    int msgId() const { return m_msgId; }
    std::uint8_t flags() const { return m_flags; }

    bool isRead() const { return m_flags & kMsgRead; }
    void setRead(bool on) { setFlag(kMsgRead, on); }
    bool isDeleted() const { return m_flags & kMsgDeleted; }
    void setDeleted(bool on) { setFlag(kMsgDeleted, on); }
    bool isFlagged() const { return m_flags & kMsgFlagged; }
    void setFlagged(bool on) { setFlag(kMsgFlagged, on); }
    bool hasAttachment() const { return m_flags & (kMsgAttachment | kMsgSun); }
    bool isEncrypted() const { return m_flags & kMsgEncrypted; }

    bool isLoaded() const { return m_texts != TextArena::kNone; }
    // The texts, "from\0subject\0date\0", in the list's arena.
    TextArena::Ref texts() const { return m_texts; }
    void setTexts(TextArena::Ref texts) { m_texts = texts; }

  private:
    void setFlag(std::uint8_t bit, bool on) { m_flags = on ? (m_flags | bit) : (m_flags & ~bit); }

    std::int32_t m_msgId = -1;
    TextArena::Ref m_texts = TextArena::kNone;
    std::uint8_t m_flags = 0;
};
// Held once per message of the largest mailboxes.
static_assert(sizeof(MailCell) == 12);

}  // namespace quill
