// MailBox: one open mailbox directory ("Name.mbox" holding "mbox",
// "table_of_contents", ".lock" and attachment directories) and the gateway to
// its messages. Opening creates a missing mailbox, refuses the old single-file
// format, takes the ".lock" file and the record lock on "mbox", loads the index
// and decides whether the mailbox may be written. Writable open mailboxes are
// kept in a process-wide cache so that other parts can find them by path.
#pragma once

#include <regex.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileHandles.h"
#include "base/PageBuffer.h"
#include "store/MailContext.h"
#include "store/Message.h"
#include "store/Toc.h"

namespace quill {

class Compaction;
class MailBoxWindow;
class MailMessage;

// "%s/%s" of a mailbox path and "mbox".
std::string getLongName(const std::string& path);
// Creates the mailbox at `path` if it is missing.
Status makeMailbox(const std::string& path);

// regcomp with REG_NEWLINE added: "^", "$", "." and "[^x]" stay within a line,
// as messageAt expects. Answers regcomp's result.
int compileFindExpression(regex_t& expression, const char* pattern, int flags);

class MailBox {
  public:
    // A newly opened mailbox, or nullptr. Each failure went to the context's
    // report, and so did an opening for reading only.
    static std::unique_ptr<MailBox> newMailBox(const std::string& path, const MailContext& context);
    // Opening in steps, for a window that rebuilds the index on another
    // thread: openUnindexed does what newMailBox does before the index (the
    // lock, recovery, "mbox"), with nullptr on failure as there.
    static std::unique_ptr<MailBox> openUnindexed(const std::string& path,
                                                  const MailContext& context);
    // Loads the index, rebuilding it under a progress panel when needed;
    // false when it failed (reported) or was cancelled.
    bool loadIndex();
    // Loads the index when it matches "mbox"; false when it must be rebuilt.
    bool loadCurrentIndex();
    // Rebuilds and loads the index; the only step that may run on another
    // thread, while nothing else uses the mailbox. False when it failed
    // (reported) or was cancelled.
    bool rebuildIndex(const OffThreadRebuild& how);
    // The rest of the opening, once the index is loaded; false when the
    // mailbox must be closed (reported).
    bool finishOpening(const std::string& path);
    // The open mailbox of that path (a window's, else a cached one), else a
    // newly opened one released at the end of the current event. Not owned.
    static MailBox* newTempMailBox(const std::string& path, const MailContext& context);
    // What the application knows of a path's window: the mailbox it shows,
    // or that it is still opening (its index being rebuilt under its lock).
    struct WindowMailbox {
        MailBox* shown = nullptr;
        bool opening = false;
    };
    using WindowFinder = std::function<WindowMailbox(const std::string& path)>;
    static void setWindowFinder(WindowFinder finder);
    // The frame and list height recorded for mailboxes without a window.
    static void setDefaultFrame(const tocformat::WindowFrame& frame, float tocHeight);
    static void defaultWindowFrame(tocformat::WindowFrame& frame, float& tocHeight);

    MailBox(const MailBox&) = delete;
    MailBox& operator=(const MailBox&) = delete;
    virtual ~MailBox();

    const MailContext& context() const { return m_context; }
    const std::string& mailFileName() const { return m_mailFileName; }
    const std::string& dirname() const { return m_dirname; }
    std::FILE* mailFile() const { return m_mailFile.get(); }
    std::int32_t mailLength() const { return m_mailLength; }
    bool readOnly() const { return m_mboxAccess == 0; }
    Message& msgHeader();
    static PageBuffer& rawMsg();
    static PageBuffer& processed();
    Toc& toc() { return *m_toc; }

    // The window calls removeLock when it is about to close.
    void setMailReader(MailBoxWindow* window) { m_mailReader = window; }
    void removeLock();
    // Hands the mailbox to its window to close, or releases it at the end of
    // the event. Answers nullptr for callers to pass on.
    std::nullptr_t fatal();
    void fileError(int code) const;
    void calcAccess();
    void getWindowFrame(tocformat::WindowFrame& frame) const;
    float getTocHeight() const;

    // The text of message i: its bytes without the separating newline, or the
    // output of the "DisplayFilter" command when it gives any. msgHeader is
    // refilled from the raw bytes. The view lives until the next load.
    // Message objects are built from this text by the message classes.
    std::optional<std::string_view> loadMessageTextAt(int index);
    // Message i as an object of the class most willing to decode it (the
    // plain class with forcePlain); nothing when it cannot be read.
    std::unique_ptr<MailMessage> loadMessageAt(int index, bool forcePlain);
    // Appends the message in its mailbox form and indexes it; 0 on failure.
    int appendMessage(MailMessage& message);

    // Appends raw mailbox text (starting with a "From " line) and indexes it.
    const MsgList* getMail(std::string_view bytes);
    const MsgList* repairTocFile(std::int32_t oldLength);

    // Compaction in one go; false after the failure went to the context's
    // report (a user's cancel is not reported). `selected` receives the
    // current message of the compacted index. The list is getMsgList().
    bool compactMail(int& selected);
    // The same in two halves, for a window that copies "mbox" on another
    // thread: the plan, whose writeMailFile may run anywhere, and then, on
    // the main thread, the renames and the reload. Unless finished, the
    // compaction must be abandoned.
    std::unique_ptr<Compaction> planCompaction();
    bool finishCompaction(Compaction& compaction, int& selected);
    // Moves the listed messages to the end of `target` with their attachment
    // directories; they are marked deleted here. False when they stayed.
    bool transfer(const std::vector<int>& list, MailBox& target);
    // Appends pasted text as a message (pastetext.h); nullptr on failure.
    const MsgList* pasteMail(std::string_view text);

    MessageStatus setState(MessageStatus state, int forMsg, bool flush) {
        return m_toc->setState(state, forMsg, flush);
    }
    MessageStatus getStateForMsg(int index) const { return m_toc->getStateForMsg(index); }
    // A message's index entry; nullptr for an index it does not hold, or once
    // the index is closed, since a closing window may still draw its list.
    const TocEntry* entryIfOpen(int index) const {
        if (!m_toc || index < 0 || static_cast<std::uint32_t>(index) >= m_toc->length())
            return nullptr;
        return &m_toc->entry(index);
    }
    Toc* flushMsgState() { return m_toc->flushFile(); }
    const MsgList& getMsgList();
    const TocEntry& tocInfoAt(int index) const { return m_toc->entry(index); }
    // Records the window's frame; nothing once the mailbox is closed.
    void viewsChanged(MailBoxWindow& window) {
        if (m_toc) m_toc->viewsChanged(window);
    }
    void getFrame(tocformat::WindowFrame& frame, float& height) const {
        m_toc->getFrame(frame, height);
    }
    MailboxStatus getMailboxStatus() const { return m_toc->getMailboxStatus(); }
    void deleteMessages(const std::vector<int>& list) { m_toc->deleteMessages(list); }
    int undeleteMsg() const { return m_toc->undeleteMsg(); }
    void rmEncr(int index) { m_toc->rmEncr(index); }
    void setCurMsg(int index) { m_toc->setCurMsg(index); }
    void loadSubject(int index, std::string& subject, std::string& from) const {
        m_toc->loadSubject(index, subject, from);
    }
    void loadSubjects(int first, int count, const Toc::SubjectSink& sink) const {
        m_toc->loadSubjects(first, count, sink);
    }

    void maybeUpdateToc();
    int checkAttachmentSizeForMessageAt(int index);
    // Looks for `pattern` from the stream's position (counted as `start`); on a
    // match `locs` receives its first position and the one after it. An `end`
    // of at least 1 stops the search there. No stream means "mbox".
    int find(std::string_view pattern, long start, long end, long locs[2],
             std::FILE* inFile = nullptr);
    // 1 when a line of message i (or of its attachment's "index.rtf") matches.
    // The whole message is matched at once, so the expression must be compiled
    // with REG_NEWLINE (compileFindExpression) to keep lines apart.
    int messageAt(int index, const regex_t& containsRegExpr);

    // Called by the scan for each "Zell-Reference:" header while messages are
    // indexed; copying attachments of transferred mail hooks in here. False stops the scan.
    virtual bool fixAttachment(std::string& name, long position, bool encrypt);

  protected:
    explicit MailBox(const MailContext& context) : m_context(context) {}
    MailBox* initMailBox(const std::string& path);
    // The opening up to the index; false after reporting why not.
    bool openFiles(const std::string& path);

  private:
    // New mail enters through here (store/Incorporation.h).
    friend class Incorporation;
    void leaveCache();
    // Opens "mbox" with its record lock; false after reporting why not.
    bool openMbox(const char* mode);
    // Puts right what a crash left half done in this directory; false when
    // the mailbox must stay closed until another program lets go of the
    // other mailbox of an interrupted transfer.
    bool recoverInterruptedWork(const std::string& path);
    // The deletion marks recovery left for the loaded index.
    void finishInterruptedWork();
    // Opens the replaced "mbox" and its index after a compaction.
    bool reloadCompacted();
    bool readAt(off_t offset, std::size_t count, char* into) const;

    MailContext m_context;
    std::string m_mailFileName;
    std::string m_dirname;
    std::unique_ptr<Toc> m_toc;
    MailBoxWindow* m_mailReader = nullptr;
    std::unique_ptr<Message> m_msgHeader;
    std::int32_t m_mailLength = 0;
    UniqueFile m_mailFile;
    int m_mboxAccess = 0;
    MailBox* m_nextInCache = nullptr;
    bool m_haveLock = false;
    std::string m_lockPath;
};

}  // namespace quill
