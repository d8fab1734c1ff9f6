#include "reader/MailCell.h"

#include <string>

namespace quill {

MailCell::MailCell(const MsgListRecord& record)
    : m_msgId(record.index),
      m_dateVal(record.date),
      m_flags(record.flags),
      m_size(record.size),
      m_priority(record.priority) {}

std::string_view MailCell::text(int which) const {
    if (!m_texts) return {};
    const char* at = m_texts;
    for (int i = 0; i < which; ++i) at += std::char_traits<char>::length(at) + 1;
    return at;
}

}  // namespace quill
