// MailReader: the decisions of a mailbox window. It owns the open mailbox and
// its message list, shows one message at a time in a text view, and carries
// out the window's commands (delete and undo, read and flag marks, focus,
// moving between messages, showing all headers) on the mailbox's index. What
// the status line says is decided here, and which commands are available in
// ReaderCommandTable; the Qt window only shows them.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/SharedBytes.h"
#include "compose/ReplySource.h"
#include "message/AlternativeChoice.h"
#include "reader/DeferredDisplay.h"
#include "reader/MailReaderView.h"
#include "reader/MailWindowController.h"
#include "reader/NewMailNotice.h"
#include "reader/PrintScope.h"
#include "reader/TocMatrix.h"
#include "reader/UnicodeListTexts.h"
#include "richtext/TextView.h"
#include "store/MailBox.h"
#include "store/MailBoxWindow.h"
#include "store/Message.h"

namespace quill {

class BackgroundCompaction;
class Compaction;
class MailHeaders;
class MailMessage;

class MailReader : public MailBoxWindow, public MailWindowController, public ReplySource {
  public:
    enum class Command {
        DeleteMsg,
        DeleteOne,
        UndeleteMsg,
        NextMsg,
        PreviousMsg,
        ToggleMarkedAsRead,
        ToggleFlagged,
        Focus,
        Unfocus,
        ToggleShowingDeletions,
        ToggleShowingSizes,
        ToggleShowingAllHeaders,
        Compact,
        ShowPlainMessage,
        ExtractAttachment,
        CombinePartialMessages,
        FindUnread,
        FindAllUnread,
        CheckNewMail,
        SortByNumber,
        SortByDate,
        SortByName,
        SortBySubject,
        SortBySize,
        SortByPriority,
        ShowLastAlternative,
        ShowFirstAlternative,
        ShowAllAlternatives,
        ToggleFixedFont,
        // Carried out by the window itself (panels, printing, closing,
        // compose windows).
        OpenMailbox,
        Print,
        Preferences,
        CloseWindow,
        Quit,
        // Transfer asks for the target mailbox and Paste reads the pasteboard
        // in the window, which then calls transferTo or pasteText.
        Transfer,
        Paste,
        Find,
        FindNext,
        FindPrevious,
        Mailboxes,
        NewMessage,
        Reply,
        ReplyAll,
        Forward,
        WrapAndReply,
        RestoreDraft,
        // The address book's two are enabled.
        AddPrivateUser,
        AddressBook,
    };
    struct ItemState {
        bool enabled = true;
        std::string title;   // empty: the item keeps its own title
        bool listed = true;  // false: the menu leaves the item out
    };

    // Opens the mailbox at path; nothing after the user was told why not.
    static std::unique_ptr<MailReader> open(const std::string& path, const MailContext& context,
                                            NewMailNotice& newMail);
    // The reader of a mailbox opened already (MailboxOpening's).
    static std::unique_ptr<MailReader> adopt(std::unique_ptr<MailBox> mailbox,
                                             const std::string& path, NewMailNotice& newMail);
    // The frame and list height a window opens with, given those an index
    // recorded: the recorded ones, else the defaults. True when recorded.
    static bool openingFrame(const tocformat::WindowFrame& recorded, float recordedHeight,
                             tocformat::WindowFrame& frame, float& tocHeight);
    ~MailReader() override;

    void setView(MailReaderView* view);
    MailBox& mailbox() { return *m_mailbox; }
    TocMatrix& matrix() { return m_matrix; }
    const TocMatrix& matrix() const { return m_matrix; }
    // The settings the window was opened with.
    Defaults& defaults() const { return m_defaults; }
    const TextView& text() const { return m_text; }
    // The file of the attachment icon at a position of the text, written now
    // if the icon has none yet; "" when there is no icon or no file can be made.
    std::string attachmentFileAt(size_t position) const;
    // ReplySource: the shown message for replies and forwards.
    int curMsg() const override { return m_curMsg; }
    const Message* msgHeader() const override { return m_curMsg >= 0 ? &m_shownHeader : nullptr; }
    MailMessage* mailMessage() const override { return m_message.get(); }
    const TextView& getTextObject() const override { return m_text; }
    std::optional<std::string> attachDir() const override;
    bool readOnly() const { return m_readOnly; }
    bool displayAllHeaders() const { return m_displayAllHeaders; }
    bool hasForeignAttachment() const { return m_hasForeignAttachment; }
    // Whether a deletion is recorded for Undelete to take back.
    bool hasDeletionToUndo() const { return !m_undo.empty(); }
    // Whether the shown message was read as MIME (its alternatives can be chosen).
    bool showsMimeMessage() const;
    std::string title() const;
    // The frame and list height the window opens with: those recorded in the
    // index, else the defaults.
    const tocformat::WindowFrame& savedFrame() const { return m_frame; }
    float savedTocHeight() const { return m_tocHeight; }
    // Whether the index holds a window's own frame (a mailbox never shown
    // in a window holds the defaults).
    bool hasRecordedFrame() const { return m_frameRecorded; }
    // Records the window's frame and list height in the index (writable mailboxes).
    void windowWillClose();

    // MailBoxWindow
    void fatal() override;
    void getFrame(tocformat::WindowFrame& frame, float& tocHeight) override;
    void loadToc(const MsgList& list, bool atStart) override;
    // MailWindowController
    std::string mailboxPath() const override { return m_path; }
    void orderFront() override;
    void haveNewMail() override;
    int newMessageCount() const override { return m_newMessageCount; }
    void closeWindow() override;
    void incorporateMail() override;
    // Shown in the status line until the next update of the counts.
    void showCheckResult(const std::string& text) override;

    // Commands, as ReaderCommandTable lists them. Modifiers matter only where noted.
    void perform(Command command, bool controlHeld = false);
    ItemState validateItem(Command command) const;
    void checkNewMail();
    void deleteMsg();
    void deleteOne(bool controlHeld);
    void undeleteMsg();
    void nextMsg();
    void previousMsg();
    void toggleMarkedAsRead();
    void toggleFlagged();
    void focus();
    void unfocus();
    void toggleShowingDeletions();
    void toggleShowingSizes();
    void toggleShowingAllHeaders();
    void showPlainMessage();
    void findUnread();
    // Compact: the deleted messages leave "mbox" and the index, their
    // attachment directories go. A large mailbox is copied on a worker
    // thread; meanwhile every command is unavailable.
    void compact();
    bool compacting() const { return m_compaction != nullptr; }
    // Mailboxes at least this large are compacted in the background.
    static void setBackgroundCompactionSize(long long bytes);
    // Moves the selected messages to the mailbox at `path` (nothing when it
    // is empty). The mailbox browser and the window's chooser both call this;
    // true when the messages moved.
    bool transferTo(const std::string& path);
    // Appends pasted text as a new message and shows it.
    void pasteText(const std::string& text);
    // Which alternative of a multipart/alternative body is shown; the current
    // message is shown again.
    void selectMimeAlternative(AlternativeChoice choice);
    // Plain text in a fixed-width font (a View choice).
    bool fixedFont() const { return m_fixedFont; }
    void toggleFixedFont();
    // The user clicked (or moved to) a row of the list. A move by keys shows
    // its message once the keys stop (DeferredDisplay); a click, at once.
    void selectionDidChange(bool byKeys = false);
    // Shows a message that keys moved to and that is still waiting; every
    // command does this first, so it acts on the message selected.
    void settleDisplay() { m_deferredDisplay.settle(); }

    void loadMessage(int index);
    void emptyMsg();
    // Brings a row of the list into view.
    void scrollToRow(int row);
    // The list's rows or selection changed behind the reader's back (find).
    void matrixChanged() { redisplay(); }
    void updateStatus();
    // Decode Foreign Attachment: every uuencoded section of the shown message
    // into a fresh directory, which the desktop then opens.
    void extractAttachment();
    // Combine Partial Messages: the selected parts, in order, as one new message.
    void combinePartialMessages();
    // The subject of the combined message from the first and last parts' subjects.
    static std::string combinedSubject(const std::string& first, const std::string& last);
    // Where that directory is made ("/tmp"; tests use their own).
    static void setAttachmentRoot(std::string root);
    // The print text of the scope. After each message `interrupted` is asked
    // whether the user cancelled; then PrintInterrupted is thrown and nothing
    // is printed.
    struct PrintInterrupted : std::runtime_error {
        PrintInterrupted() : std::runtime_error("User interrupted print job") {}
    };
    void textWillPrint(PrintScope scope, TextView& out,
                       const std::function<bool()>& interrupted = nullptr);
    // Add Private User: the shown message's sender into "Private Users",
    // saved at once unless the address-book window is the active window.
    void addPrivateUser();
    // The draft Restore Draft fills a compose window from: from a menu or
    // button, unless this window is the drafts mailbox showing a message, the
    // last undeleted message of "DraftsMailbox"; otherwise the shown message.
    std::unique_ptr<MailMessage> draftToRestore(bool fromCommand);
    // Hands an attachment to the desktop; says so when no program opens it.
    void openAttachment(const std::string& path);

    // Ends the text with a line feed if needed, then "-----\n".
    static void insertDelimiter(TextView& text);

  private:
    // Builds the list's rows from the mailbox's records, then lets them go.
    void loadRows(const MsgList* list, bool atStart);
    // Shows the selected message when one row is selected.
    void showSelection();
    MailReader(std::unique_ptr<MailBox> mailbox, std::string path, NewMailNotice& newMail);
    void compactionCopied(const Status& copied);
    void showStep(const char* text);
    void reloadList();
    void showRow(int row);
    void loadNextMsg(bool clear);
    void redisplay();
    bool refuseReadOnly(const char* title, const char* message) const;
    void showMessage(int index, bool forcePlain);
    // The shown new message asked for a read receipt.
    void maybeSendReadReceipt();
    // The headers a shown message leaves out: none while all are wanted.
    std::shared_ptr<const MailHeaders> hiddenHeaders() const;
    void showSummary();

    std::unique_ptr<MailBox> m_mailbox;
    std::unique_ptr<Compaction> m_compaction;  // while a compaction runs
    std::unique_ptr<BackgroundCompaction> m_background;
    bool m_incorporateAfterCompaction = false;
    Defaults& m_defaults;  // the mailbox's
    Panels& m_panels;      // the mailbox's
    std::string m_path;
    NewMailNotice& m_newMail;
    std::optional<UnicodeListTexts> m_unicodeList;  // set under the Unicode display
    TocMatrix m_matrix;
    TextView m_text;
    std::unique_ptr<MailMessage> m_message;
    SharedBytes m_shownBytes;  // the shown message as stored
    Message m_shownHeader;     // its header record
    MailReaderView* m_view = nullptr;
    std::vector<std::vector<int>> m_undo;  // newest deletion last
    std::string m_statusText;
    int m_curMsg = -1;
    int m_newMessageCount = 0;
    AlternativeChoice m_mimeChoice = AlternativeChoice::Last;
    bool m_displayAllHeaders = false;
    bool m_readOnly = false;
    bool m_hasForeignAttachment = false;
    bool m_fixedFont = false;
    bool m_statusLineShown = true;
    tocformat::WindowFrame m_frame;
    float m_tocHeight = 0;
    bool m_frameRecorded = false;
    DeferredDisplay m_deferredDisplay;
};

}  // namespace quill
