#include "reader/MailCell.h"

namespace quill {

MailCell::MailCell(const MsgListRecord& record)
    : m_msgId(record.index),
      m_dateVal(record.date),
      m_flags(record.flags),
      m_size(record.size),
      m_priority(record.priority) {}

const std::string& MailCell::empty() {
    static const std::string none;
    return none;
}

}  // namespace quill
