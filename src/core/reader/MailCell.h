// MailCell: one row of a mailbox window's message list. It carries what the
// message-list record says (index, packed date, flags, size, priority) and the
// sender, subject and date texts, loaded the first time the row is shown.
#pragma once

#include <cstdint>
#include <string>

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

    bool isLoaded() const { return m_loaded; }
    void setLoaded(bool on) { m_loaded = on; }
    // Texts live in the list's shared string set; empty until loaded.
    const std::string& from() const { return m_from ? *m_from : empty(); }
    void setFrom(const std::string* text) { m_from = text; }
    const std::string& subject() const { return m_subject ? *m_subject : empty(); }
    void setSubject(const std::string* text) { m_subject = text; }
    const std::string& date() const { return m_date ? *m_date : empty(); }
    void setDate(const std::string* text) { m_date = text; }
    bool hasSubject() const { return m_subject && !m_subject->empty(); }

  private:
    static const std::string& empty();
    void setFlag(std::uint8_t bit, bool on) { m_flags = on ? (m_flags | bit) : (m_flags & ~bit); }

    int m_msgId = -1;
    std::uint32_t m_dateVal = 0;
    std::uint8_t m_flags = 0;
    std::int32_t m_size = 0;
    std::uint32_t m_priority = 0;
    bool m_loaded = false;
    const std::string* m_from = nullptr;
    const std::string* m_subject = nullptr;
    const std::string* m_date = nullptr;
};

}  // namespace quill
