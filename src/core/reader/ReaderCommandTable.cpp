#include "reader/ReaderCommandTable.h"

#include "platform/Localized.h"
#include "reader/MailFinder.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

using C = MailReader::Command;
using P = ReaderCommandTable::Performer;
using State = MailReader::ItemState;
using K = TocMatrix::SortKey;

bool hasSelection(const MailReader& r) { return r.matrix().selectedRow() >= 0; }

const MailCell* selectedCell(const MailReader& r) {
    return hasSelection(r) ? &r.matrix().cellAtRow(r.matrix().selectedRow()) : nullptr;
}

State titled(bool enabled, const char* title) { return {enabled, localized(kUITable, title)}; }

State whenSelected(const MailReader& r) { return {hasSelection(r), {}}; }

State whenMime(const MailReader& r) { return {r.showsMimeMessage(), {}}; }

// The rows of one kind, spelled once.
ReaderCommandTable::Row byReader(C command, const char* menu, const char* submenu,
                                 const char* title, const char* key, bool separator,
                                 ReaderCommandTable::Action action,
                                 ReaderCommandTable::Availability availability = nullptr) {
    return {command, menu, submenu, title, key, separator, P::Reader, action, availability};
}

ReaderCommandTable::Row byWindow(C command, const char* menu, const char* title, const char* key,
                                 bool separator) {
    return {command, menu, nullptr, title, key, separator, P::Window, nullptr, nullptr};
}

template <K key>
void sortBy(MailReader& r, bool) {
    r.matrix().sortBy(key);
}

template <AlternativeChoice choice>
void showAlternative(MailReader& r, bool) {
    r.selectMimeAlternative(choice);
}

std::vector<ReaderCommandTable::Row> mailboxMenu() {
    return {
        byWindow(C::NewMessage, "Mailbox", "New Message", "Ctrl+N", false),
        byWindow(C::OpenMailbox, "Mailbox", "Open...", "Ctrl+O", false),
        byWindow(C::Mailboxes, "Mailbox", "Mailboxes", "Ctrl+Shift+M", false),
        byReader(C::CheckNewMail, "Mailbox", nullptr, "Check for New Mail", "Ctrl+Shift+N", false,
                 [](MailReader& r, bool) { r.checkNewMail(); }),
        byWindow(C::Find, "Mailbox", "Find...", "Ctrl+F", true),
        byWindow(C::FindNext, "Mailbox", "Find Next", "Ctrl+G", false),
        byWindow(C::FindPrevious, "Mailbox", "Find Previous", "Ctrl+Shift+G", false),
        byWindow(C::AddressBook, "Mailbox", "Address Book", "Ctrl+Shift+B", false),
        byReader(C::Compact, "Mailbox", nullptr, "Compact", "", true,
                 [](MailReader& r, bool) { r.compact(); }),
        byWindow(C::Print, "Mailbox", "Print...", "Ctrl+P", false),
        byWindow(C::Preferences, "Mailbox", "Preferences...", "Ctrl+,", true),
        byWindow(C::CloseWindow, "Mailbox", "Close", "Ctrl+W", false),
        byWindow(C::Quit, "Mailbox", "Quit", "Ctrl+Q", false),
    };
}

std::vector<ReaderCommandTable::Row> messageMenu() {
    return {
        byReader(C::NextMsg, "Message", nullptr, "Next", "Ctrl+Down", false,
                 [](MailReader& r, bool) { r.nextMsg(); }),
        byReader(C::PreviousMsg, "Message", nullptr, "Previous", "Ctrl+Up", false,
                 [](MailReader& r, bool) { r.previousMsg(); }),
        byReader(C::FindUnread, "Message", nullptr, "Next Unread", "N", false,
                 [](MailReader& r, bool) { r.findUnread(); }),
        byReader(C::FindAllUnread, "Message", nullptr, "Select All Unread", "", false,
                 [](MailReader& r, bool) { MailFinder::findUnread(r, true); }),
        byWindow(C::Reply, "Message", "Reply", "Ctrl+R", true),
        byWindow(C::ReplyAll, "Message", "Reply to All", "Ctrl+Shift+R", false),
        byWindow(C::Forward, "Message", "Forward", "Ctrl+L", false),
        byWindow(C::WrapAndReply, "Message", "Wrap and Reply", "", false),
        byWindow(C::RestoreDraft, "Message", "Restore Draft", "", false),
        {C::Transfer, "Message", nullptr, "Transfer...", "", false, P::Window, nullptr,
         whenSelected},
        byWindow(C::Paste, "Message", "Paste Message", "", false),
        byReader(C::AddPrivateUser, "Message", nullptr, "Add Private User", "", false,
                 [](MailReader& r, bool) { r.addPrivateUser(); }),
        byReader(C::DeleteMsg, "Message", nullptr, "Delete", "Del", true,
                 [](MailReader& r, bool) { r.deleteMsg(); }),
        byReader(C::DeleteOne, "Message", nullptr, "Delete and Next", "Ctrl+D", false,
                 [](MailReader& r, bool controlHeld) { r.deleteOne(controlHeld); }),
        byReader(
            C::UndeleteMsg, "Message", nullptr, "Undelete", "Ctrl+Z", false,
            [](MailReader& r, bool) { r.undeleteMsg(); },
            [](const MailReader& r) -> State {
                return {r.matrix().showDeletions() ? hasSelection(r) : r.hasDeletionToUndo(), {}};
            }),
        byReader(
            C::ToggleMarkedAsRead, "Message", nullptr, "Mark as Read", "M", true,
            [](MailReader& r, bool) { r.toggleMarkedAsRead(); },
            [](const MailReader& r) {
                const MailCell* cell = selectedCell(r);
                return titled(cell != nullptr,
                              cell && cell->isRead() ? "Mark as Unread" : "Mark as Read");
            }),
        byReader(
            C::ToggleFlagged, "Message", nullptr, "Flag", "S", false,
            [](MailReader& r, bool) { r.toggleFlagged(); },
            [](const MailReader& r) {
                const MailCell* cell = selectedCell(r);
                return titled(cell != nullptr, cell && cell->isFlagged() ? "Unflag" : "Flag");
            }),
        byReader(
            C::ShowPlainMessage, "Message", nullptr, "Show Plain Text", "", true,
            [](MailReader& r, bool) { r.showPlainMessage(); }, whenSelected),
        byReader(C::ShowLastAlternative, "Message", "Alternative", "Show Last", "", false,
                 showAlternative<AlternativeChoice::Last>, whenMime),
        byReader(C::ShowFirstAlternative, "Message", "Alternative", "Show First", "", false,
                 showAlternative<AlternativeChoice::First>, whenMime),
        byReader(C::ShowAllAlternatives, "Message", "Alternative", "Show All", "", false,
                 showAlternative<AlternativeChoice::All>, whenMime),
        byReader(
            C::ExtractAttachment, "Message", nullptr, "Decode Foreign Attachment", "", false,
            [](MailReader& r, bool) { r.extractAttachment(); },
            [](const MailReader& r) -> State {
                return {r.hasForeignAttachment(), {}};
            }),
        byReader(
            C::CombinePartialMessages, "Message", nullptr, "Combine Partial Messages", "", false,
            [](MailReader& r, bool) { r.combinePartialMessages(); },
            [](const MailReader& r) -> State {
                return {r.matrix().haveMultipleSelection(), {}};
            }),
    };
}

std::vector<ReaderCommandTable::Row> viewMenu() {
    return {
        byReader(
            C::ToggleShowingAllHeaders, "View", nullptr, "Show All Headers", "Ctrl+H", false,
            [](MailReader& r, bool) { r.toggleShowingAllHeaders(); },
            [](const MailReader& r) {
                return titled(hasSelection(r),
                              r.displayAllHeaders() ? "Show Filtered Headers" : "Show All Headers");
            }),
        byReader(
            C::ToggleShowingDeletions, "View", nullptr, "Show Deleted", "", false,
            [](MailReader& r, bool) { r.toggleShowingDeletions(); },
            [](const MailReader& r) {
                return titled(true, r.matrix().showDeletions() ? "Hide Deleted" : "Show Deleted");
            }),
        byReader(
            C::ToggleShowingSizes, "View", nullptr, "Show Sizes", "", false,
            [](MailReader& r, bool) { r.toggleShowingSizes(); },
            [](const MailReader& r) {
                return titled(true, r.matrix().showSizes() ? "Hide Sizes" : "Show Sizes");
            }),
        byReader(
            C::ToggleFixedFont, "View", nullptr, "Use Fixed-Width Font", "Ctrl+T", false,
            [](MailReader& r, bool) { r.toggleFixedFont(); },
            [](const MailReader& r) {
                return titled(true,
                              r.fixedFont() ? "Use Proportional Font" : "Use Fixed-Width Font");
            }),
        byReader(
            C::Focus, "View", nullptr, "Focus on Selection", "Ctrl+Shift+F", true,
            [](MailReader& r, bool) { r.focus(); }, whenSelected),
        byReader(
            C::Unfocus, "View", nullptr, "Show All Messages", "Ctrl+Shift+U", false,
            [](MailReader& r, bool) { r.unfocus(); },
            [](const MailReader& r) -> State {
                return {r.matrix().isFocused(), {}};
            }),
        byReader(C::SortByNumber, "View", "Sort", "Sort by Number", "", true, sortBy<K::Number>),
        byReader(C::SortByDate, "View", "Sort", "Sort by Date", "", false, sortBy<K::Date>),
        byReader(C::SortByName, "View", "Sort", "Sort by Name", "", false, sortBy<K::Name>),
        byReader(C::SortBySubject, "View", "Sort", "Sort by Subject", "", false,
                 sortBy<K::Subject>),
        byReader(C::SortBySize, "View", "Sort", "Sort by Size", "", false, sortBy<K::Size>),
        // Priorities mean something only when a priority header is set.
        byReader(C::SortByPriority, "View", "Sort", "Sort by Priority", "", false,
                 sortBy<K::Priority>,
                 [](const MailReader& r) -> State {
                     return {true, {}, !r.defaults().priorityHeader().empty()};
                 }),
    };
}

}  // namespace

const std::vector<ReaderCommandTable::Row>& ReaderCommandTable::rows() {
    static const std::vector<Row> table = [] {
        std::vector<Row> all;
        for (auto menu : {mailboxMenu, messageMenu, viewMenu}) {
            std::vector<Row> part = menu();
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }();
    return table;
}

const ReaderCommandTable::Row* ReaderCommandTable::find(MailReader::Command command) {
    for (const Row& row : rows()) {
        if (row.command == command) return &row;
    }
    return nullptr;
}

bool ReaderCommandTable::performedByWindow(MailReader::Command command) {
    const Row* row = find(command);
    return row && row->performer == Performer::Window;
}

MailReader::ItemState ReaderCommandTable::stateOf(const MailReader& reader,
                                                  MailReader::Command command) {
    const Row* row = find(command);
    if (!row) return {true, {}};
    if (row->availability) return row->availability(reader);
    return {row->performer != Performer::NotBuilt, {}};
}

bool ReaderCommandTable::perform(MailReader& reader, MailReader::Command command,
                                 bool controlHeld) {
    const Row* row = find(command);
    if (!row || !row->action) return false;
    row->action(reader, controlHeld);
    return true;
}

}  // namespace quill
