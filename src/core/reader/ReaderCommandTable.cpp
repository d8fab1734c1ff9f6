#include "reader/ReaderCommandTable.h"

namespace quill {

using C = MailReader::Command;

const std::vector<ReaderCommandTable::Row>& ReaderCommandTable::rows() {
    static const std::vector<Row> table = {
        {C::NewMessage, "Mailbox", nullptr, "New Message", "Ctrl+N", false},
        {C::OpenMailbox, "Mailbox", nullptr, "Open...", "Ctrl+O", false},
        {C::Mailboxes, "Mailbox", nullptr, "Mailboxes", "Ctrl+Shift+M", false},
        {C::CheckNewMail, "Mailbox", nullptr, "Check for New Mail", "Ctrl+Shift+N", false},
        {C::Find, "Mailbox", nullptr, "Find...", "Ctrl+F", true},
        {C::AddressBook, "Mailbox", nullptr, "Address Book", "Ctrl+Shift+B", false},
        {C::Compact, "Mailbox", nullptr, "Compact", "", true},
        {C::Print, "Mailbox", nullptr, "Print...", "Ctrl+P", false},
        {C::Preferences, "Mailbox", nullptr, "Preferences...", "Ctrl+,", true},
        {C::CloseWindow, "Mailbox", nullptr, "Close", "Ctrl+W", false},
        {C::Quit, "Mailbox", nullptr, "Quit", "Ctrl+Q", false},

        {C::NextMsg, "Message", nullptr, "Next", "Ctrl+Down", false},
        {C::PreviousMsg, "Message", nullptr, "Previous", "Ctrl+Up", false},
        {C::FindUnread, "Message", nullptr, "Next Unread", "N", false},
        {C::Reply, "Message", nullptr, "Reply", "Ctrl+R", true},
        {C::ReplyAll, "Message", nullptr, "Reply to All", "Ctrl+Shift+R", false},
        {C::Forward, "Message", nullptr, "Forward", "Ctrl+L", false},
        {C::WrapAndReply, "Message", nullptr, "Wrap and Reply", "", false},
        {C::RestoreDraft, "Message", nullptr, "Restore Draft", "", false},
        {C::Transfer, "Message", nullptr, "Transfer...", "", false},
        {C::AddPrivateUser, "Message", nullptr, "Add Private User", "", false},
        {C::DeleteMsg, "Message", nullptr, "Delete", "Del", true},
        {C::DeleteOne, "Message", nullptr, "Delete and Next", "Ctrl+D", false},
        {C::UndeleteMsg, "Message", nullptr, "Undelete", "Ctrl+Z", false},
        {C::ToggleMarkedAsRead, "Message", nullptr, "Mark as Read", "M", true},
        {C::ToggleFlagged, "Message", nullptr, "Flag", "S", false},
        {C::ShowPlainMessage, "Message", nullptr, "Show Plain Text", "", true},
        {C::ShowLastAlternative, "Message", "Alternative", "Show Last", "", false},
        {C::ShowFirstAlternative, "Message", "Alternative", "Show First", "", false},
        {C::ShowAllAlternatives, "Message", "Alternative", "Show All", "", false},
        {C::ExtractAttachment, "Message", nullptr, "Decode Foreign Attachment", "", false},
        {C::CombinePartialMessages, "Message", nullptr, "Combine Partial Messages", "", false},

        {C::ToggleShowingAllHeaders, "View", nullptr, "Show All Headers", "Ctrl+H", false},
        {C::ToggleShowingDeletions, "View", nullptr, "Show Deleted", "", false},
        {C::ToggleShowingSizes, "View", nullptr, "Show Sizes", "", false},
        {C::ToggleFixedFont, "View", nullptr, "Use Fixed-Width Font", "Ctrl+T", false},
        {C::Focus, "View", nullptr, "Focus on Selection", "Ctrl+Shift+F", true},
        {C::Unfocus, "View", nullptr, "Show All Messages", "Ctrl+Shift+U", false},
        {C::SortByNumber, "View", "Sort", "Sort by Number", "", true},
        {C::SortByDate, "View", "Sort", "Sort by Date", "", false},
        {C::SortByName, "View", "Sort", "Sort by Name", "", false},
        {C::SortBySubject, "View", "Sort", "Sort by Subject", "", false},
        {C::SortBySize, "View", "Sort", "Sort by Size", "", false},
        {C::SortByPriority, "View", "Sort", "Sort by Priority", "", false},
    };
    return table;
}

const ReaderCommandTable::Row* ReaderCommandTable::find(MailReader::Command command) {
    for (const Row& row : rows()) {
        if (row.command == command) return &row;
    }
    return nullptr;
}

bool ReaderCommandTable::performedByWindow(MailReader::Command command) {
    switch (command) {
        case C::OpenMailbox:
        case C::Print:
        case C::Preferences:
        case C::CloseWindow:
        case C::Quit:
        case C::AddressBook:
            return true;
        default:
            return false;
    }
}

}  // namespace quill
