// MailCell: one row of a mailbox window's message list. It carries what the
// message-list record says (index, packed date, flags, size, priority) and
// where the sender, subject and date texts lie once loaded: the list keeps
// them in its text arena, so a row stays a small fixed-size record.
#pragma once

#include <cstdint>
#include <string_view>

#include "store/Toc.h"

namespace quill {

class MailCell {
  public:
    MailCell() = default;
    explicit MailCell(const MsgListRecord& record);

    int msgId() const { return m_msgId; }
    std::uint32_t dateVal() const { return m_dateVal; }
    std::int32_t size() const { return m_size; }
    std::uint32_t priority() const { return m_priority; }
    std::uint8_t flags() const { return m_flags; }

    bool isRead() const { return m_flags & kMsgRead; }
    void setRead(bool on) { setFlag(kMsgRead, on); }
    bool isDeleted() const { return m_flags & kMsgDeleted; }
    void setDeleted(bool on) { setFlag(kMsgDeleted, on); }
    bool isFlagged() const { return m_flags & kMsgFlagged; }
    void setFlagged(bool on) { setFlag(kMsgFlagged, on); }
    bool hasAttachment() const { return m_flags & (kMsgAttachment | kMsgSun); }
    bool isEncrypted() const { return m_flags & kMsgEncrypted; }

    bool isLoaded() const { return m_texts != nullptr; }
    // The texts, "from\0subject\0date\0", in the list's arena.
    void setTexts(const char* texts) { m_texts = texts; }
    // Empty until loaded.
    std::string_view from() const { return text(0); }
    std::string_view subject() const { return text(1); }
    std::string_view date() const { return text(2); }
    bool hasSubject() const { return !subject().empty(); }

  private:
    std::string_view text(int which) const;
    void setFlag(std::uint8_t bit, bool on) { m_flags = on ? (m_flags | bit) : (m_flags & ~bit); }

    int m_msgId = -1;
    std::uint32_t m_dateVal = 0;
    std::uint8_t m_flags = 0;
    std::int32_t m_size = 0;
    std::uint32_t m_priority = 0;
    const char* m_texts = nullptr;
};

}  // namespace quill
