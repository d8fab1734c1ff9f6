// The status of one message as the index keeps it. It holds the status
// character of the message's record, written to the index as it is, so an
// index reads the same whichever version of Quill wrote it.
#pragma once

namespace quill {

class MessageStatus {
  public:
    static const MessageStatus kRead;            // ' '
    static const MessageStatus kNew;             // '*': arrived since the mailbox was last read
    static const MessageStatus kUnread;          // 'u': marked unread by the user
    static const MessageStatus kMarkedRead;      // '<': marked read, or unflagged, by the user
    static const MessageStatus kFlagged;         // 'f'; older versions wrote '+'
    static const MessageStatus kCurrent;         // '>': the message shown in the window
    static const MessageStatus kDeleted;         // 'd'
    static const MessageStatus kDeletedCurrent;  // 'D': deleted and still the one shown

    constexpr MessageStatus() = default;
    constexpr explicit MessageStatus(char onDisk) : m_char(onDisk) {}

    constexpr char toChar() const { return m_char; }
    constexpr bool isDeleted() const { return m_char == 'd' || m_char == 'D'; }
    constexpr bool isUnread() const { return m_char == '*' || m_char == 'u'; }
    constexpr bool isNew() const { return m_char == '*'; }
    // Whether this is the window's current message.
    constexpr bool isCurrent() const { return m_char == '>' || m_char == 'D'; }
    // The status as the current message: deleted stays deleted.
    constexpr MessageStatus asCurrent() const {
        return isCurrent() ? *this : MessageStatus(m_char == 'd' ? 'D' : '>');
    }
    // The status once another message becomes current.
    constexpr MessageStatus asNotCurrent() const {
        return isCurrent() ? MessageStatus(m_char == '>' ? ' ' : 'd') : *this;
    }
    constexpr bool operator==(const MessageStatus&) const = default;

  private:
    char m_char = ' ';
};

inline constexpr MessageStatus MessageStatus::kRead{' '};
inline constexpr MessageStatus MessageStatus::kNew{'*'};
inline constexpr MessageStatus MessageStatus::kUnread{'u'};
inline constexpr MessageStatus MessageStatus::kMarkedRead{'<'};
inline constexpr MessageStatus MessageStatus::kFlagged{'f'};
inline constexpr MessageStatus MessageStatus::kCurrent{'>'};
inline constexpr MessageStatus MessageStatus::kDeleted{'d'};
inline constexpr MessageStatus MessageStatus::kDeletedCurrent{'D'};

}  // namespace quill
