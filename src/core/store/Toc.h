// Toc: the table of contents of one open mailbox. It checks "table_of_contents"
// against "mbox", rebuilds it with one scan of "mbox" when they disagree, loads
// it into memory, appends records for messages added to "mbox", upgrades
// records of older versions and writes status changes back in place. The byte
// layout is in store/TocFormat.h.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/Buffer.h"
#include "base/FileHandles.h"
#include "store/MailContext.h"
#include "store/MboxScanner.h"
#include "store/MessageStatus.h"
#include "store/TocFormat.h"

namespace quill {

class MailBox;
class MailBoxWindow;
class ProgressPanel;

// The corrupt-index exception: the only exception the store uses for control flow.
inline constexpr const char* kMailBadTOC = "MailBadTOC";
class MailBadTOC : public std::runtime_error {
  public:
    explicit MailBadTOC(const std::string& reason) : std::runtime_error(reason) {}
    const char* name() const { return kMailBadTOC; }
};

// One message of the index in memory: kept at 32 bytes, since a large
// mailbox holds one per message for as long as it is open.
struct TocEntry {
    std::int32_t offset;
    std::int32_t length;
    std::int32_t tocPosition;
    std::uint32_t date;
    std::int32_t size;  // message length plus attachment size
    std::int32_t attachTime;
    std::int16_t recordLength;
    MessageStatus status;
    char type;
    char encrypted;
    // The priority's low byte, all that a list shows or sorts by (the file
    // keeps the whole word).
    std::uint8_t priority;
};
static_assert(sizeof(TocEntry) == 32);

// Flag bits of a message-list record.
enum MsgListFlag : std::uint8_t {
    kMsgRead = 128,
    kMsgAttachment = 64,
    kMsgEncrypted = 32,
    kMsgDeleted = 16,
    kMsgMime = 8,
    kMsgSun = 4,
    kMsgFlagged = 2,
};

// The 24-byte record the message list of a mailbox window is built from.
struct MsgListRecord {
    std::int32_t index;
    std::uint32_t date;
    std::uint8_t flags;
    std::uint8_t unused1[3];
    std::int32_t size;
    std::uint8_t mark;
    std::uint8_t unused2[3];
    std::uint32_t priority;
};
static_assert(sizeof(MsgListRecord) == 24);

using MsgList = Buffer<MsgListRecord>;

// A rebuild on a thread that may show no panel: its progress and the user's
// cancel go through `progress`, and the scan takes settings read beforehand.
struct OffThreadRebuild {
    ProgressPanel* progress = nullptr;
    ScanSettings settings;
};

// Counters answered by getMailboxStatus. Sizes are sums of many 32-bit sizes,
// so they are kept in 64 bits.
struct MailboxStatus {
    std::int32_t count = 0;
    std::int64_t size = 0;
    std::int32_t deletedCount = 0;
    std::int64_t deletedSize = 0;
    std::int32_t unreadCount = 0;
    std::int64_t unreadSize = 0;
};

class Toc {
  public:
    // The context must outlive the index (its mailbox holds both).
    explicit Toc(const MailContext& context) : m_context(context) {}
    Toc(const Toc&) = delete;
    Toc& operator=(const Toc&) = delete;

    // Number of records, rebuilding first when the index does not match "mbox"
    // or its header cannot be read whole; a negated system error on failure
    // (reported already).
    int openTocFor(MailBox& mailbox);
    int writeFileFor(MailBox& mailbox);
    // Scans "mbox" from the mailbox stream's position to its end and appends a
    // record per message at the index file's position. Number written or -1.
    int buildFor(MailBox& mailbox, bool newMail, bool rebuilding);
    // Reads `count` records from the current index position into entries
    // start .. start + count - 1. Throws MailBadTOC.
    void loadToc(MailBox& mailbox, int count, int start);
    // Opens, rebuilds when needed and loads, surviving one corrupt index.
    Toc* safeLoadToc(MailBox& mailbox);
    // Loads the index only when it matches "mbox"; false when it must be
    // rebuilt (a damaged one is removed, as safeLoadToc does).
    bool loadCurrent(MailBox& mailbox);
    // safeLoadToc on a thread other than the main one: nothing is shown, and
    // the defaults are not read.
    Toc* rebuildOffThread(MailBox& mailbox, const OffThreadRebuild& how);
    // The index of a mailbox held in memory, as a fuzzer hands it over:
    // `index` is checked and loaded as the file would be, except for the
    // header's time, which has no "mbox" file to match, and is rebuilt from
    // `mbox` when it is damaged (attachment directories are not measured).
    // The index is kept in anonymous memory; nothing touches a file system.
    // Nullptr when the index cannot be held.
    Toc* openInMemory(std::string_view index, std::string_view mbox);
    Toc* setAppendMode();
    // Clears the header's time until the records are brought up to date, so
    // that mail appended within the second the index last matched is not
    // taken as indexed if the process dies before that.
    Toc* markUnmatched();
    // Indexes the messages appended to "mbox" from the mailbox stream's
    // position, where the old end is.
    Toc* repairToc(MailBox& mailbox);
    // Loads `added` records written at index offset oldSize, reloading safely
    // when one is bad, then records the new count and the time of "mbox".
    Toc* loadAppended(MailBox& mailbox, int added, off_t oldSize);
    // Rewrites records of older versions with the attachment words; nonzero on success.
    int updateTocForMailbox(MailBox& mailbox);
    bool needUpdate() const { return m_needUpdate; }
    void updateMessageAt(int index, std::int32_t attachSize, std::int32_t attachTime);

    void loadMsgListAt(int first, int count);
    const MsgList& getMsgList() const { return m_msgList; }
    // Frees the list once a window has built its rows from it: in a large
    // mailbox it is as big as the rows themselves.
    void releaseMsgList() { m_msgList = MsgList(); }

    MessageStatus setState(MessageStatus state, int forMsg, bool flush);
    MessageStatus getStateForMsg(int index) const { return m_data[index].status; }
    void rmEncr(int index);
    Toc* flushFile();

    void setCurMsg(int index);
    int selectedMsg() const;
    int undeleteMsg() const;
    void deleteMessages(const std::vector<int>& indices);

    std::string loadAttach(int index) const;
    // The subject and the sender in display form.
    void loadSubject(int index, std::string& subject, std::string& from) const;
    using SubjectSink = std::function<void(int index, std::string& subject, std::string& from)>;
    // loadSubject for records first .. first + count - 1, reading the index in
    // large pieces instead of a read per record.
    void loadSubjects(int first, int count, const SubjectSink& sink) const;

    MailboxStatus getMailboxStatus() const;
    void getFrame(tocformat::WindowFrame& frame, float& height) const;
    void viewsChanged(MailBoxWindow& window);

    int calcAccess();
    void setAccess(int access) { m_mboxAccess = access; }
    bool atStart() const { return m_loadAtStart; }
    void fileError(int code) const;

    std::uint32_t length() const { return m_length; }
    const TocEntry& entry(int index) const { return m_data[index]; }
    const std::string& tocName() const { return m_tocName; }

  private:
    // New mail prepared by the fetch program enters through here.
    friend class Incorporation;
    void ensureLength(std::uint32_t needed);
    // Writes a new index into `built`, or over the old one when there is none.
    int writeIndex(MailBox& mailbox, TempFile* built);
    // loadToc against a mailbox of `mailLength` bytes.
    void loadRecords(std::int64_t mailLength, int count, int start);
    // Loads an index held in memory; false (logged) when it is damaged.
    bool loadFromMemory(std::string_view index, std::int64_t mailLength);

    void nameFor(MailBox& mailbox);
    // 1 when the index matches "mbox" (open after its header, `count` its
    // records), 0 when it must be rebuilt, -1 when it cannot be opened (errno).
    int openMatching(MailBox& mailbox, int& count);
    // Loads `count` records, or logs why not and removes the index.
    bool loadOrDiscard(MailBox& mailbox, int count);
    bool reopen(int flags, int errorCode);
    std::string readRecord(int index) const;
    std::uint8_t flagsOf(const TocEntry& e) const;
    bool writeAt(std::int64_t position, const char* bytes, std::size_t n);
    // Writes one field of a record in place and syncs when asked; a failure
    // is reported, the entry in memory keeps the new value.
    void writeField(std::int64_t position, const char* bytes, std::size_t n, bool sync);
    // The entries were loaded or their sizes changed: the kept status and
    // the known current-message marks no longer hold.
    void forgetSummaries();
    void countState(const TocEntry& e, int sign) const;

    const MailContext& m_context;
    std::uint32_t m_length = 0;
    std::vector<TocEntry> m_data;
    // Kept between calls, since a window asks at every selection and a large
    // mailbox makes a walk over every entry show: the status counters, kept
    // up to date by setState, and every entry setState marked current since
    // setCurMsg last walked them all.
    mutable std::optional<MailboxStatus> m_status;
    std::optional<std::vector<int>> m_marked;
    std::string m_tocName;
    UniqueFd m_tocFile;
    MsgList m_msgList;
    bool m_loadAtStart = false;
    int m_mboxAccess = 0;
    bool m_needUpdate = false;
    const OffThreadRebuild* m_offThread = nullptr;
};

}  // namespace quill
