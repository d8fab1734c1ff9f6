#include "reader/MailReader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "addressbook/Alias.h"
#include "base/ByteSink.h"
#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "compose/ReadReceipt.h"
#include "formats/uuencode.h"
#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "message/date.h"
#include "message/fieldutil.h"
#include "message/mimetoken.h"
#include "message/unicode.h"
#include "newmail/Incorporation.h"
#include "platform/Error.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "platform/UserInfo.h"
#include "platform/Workspace.h"
#include "process/ProcessLauncher.h"
#include "reader/BackgroundCompaction.h"
#include "reader/MessageRenderer.h"
#include "reader/ReaderCommandTable.h"
#include "reader/TextDisplayFilters.h"
#include "settings/Defaults.h"
#include "store/Compaction.h"

namespace quill {
namespace {

std::string sizeSuffix(bool showSizes, long long bytes) {
    return showSizes ? formatString(" (%s)", sizeString(bytes).c_str()) : std::string();
}

}  // namespace

std::unique_ptr<MailReader> MailReader::open(const std::string& path, const MailContext& context,
                                             NewMailNotice& newMail) {
    std::unique_ptr<MailBox> mailbox = MailBox::newMailBox(path, context);
    if (!mailbox) return nullptr;
    return adopt(std::move(mailbox), path, newMail);
}

std::unique_ptr<MailReader> MailReader::adopt(std::unique_ptr<MailBox> mailbox,
                                              const std::string& path, NewMailNotice& newMail) {
    std::unique_ptr<MailReader> reader(new MailReader(std::move(mailbox), path, newMail));
    reader->m_mailbox->setMailReader(reader.get());
    reader->reloadList();
    reader->updateStatus();
    return reader;
}

MailReader::MailReader(std::unique_ptr<MailBox> mailbox, std::string path, NewMailNotice& newMail)
    : m_mailbox(std::move(mailbox)),
      m_defaults(m_mailbox->context().defaults),
      m_panels(m_mailbox->context().panels),
      m_path(std::move(path)),
      m_newMail(newMail),
      m_matrix(
          [this](int id, std::string& subject, std::string& from) {
              // A closing window may draw rows after its index has closed.
              if (!m_mailbox->entryIfOpen(id)) return;
              m_mailbox->loadSubject(id, subject, from);
              if (m_unicodeList) m_unicodeList->load(id, subject, from);
          },
          m_defaults),
      m_readOnly(m_mailbox->readOnly()),
      m_statusLineShown(m_defaults.statusLine()),
      m_deferredDisplay(m_mailbox->context().runLoop, [this] { showSelection(); }) {
    tocformat::WindowFrame recorded;
    float height = 0;
    m_mailbox->getFrame(recorded, height);
    m_frameRecorded = openingFrame(recorded, height, m_frame, m_tocHeight);
    m_matrix.setDetailsLoader([this](int id) -> MailDetails {
        const TocEntry* e = m_mailbox->entryIfOpen(id);
        return e ? MailDetails{e->date, e->size, e->priority} : MailDetails{};
    });
    m_matrix.setRangeLoader([this](int first, int count, const TocMatrix::TextSink& sink) {
        m_mailbox->loadSubjects(first, count,
                                [this, &sink](int id, std::string& subject, std::string& from) {
                                    if (m_unicodeList) m_unicodeList->load(id, subject, from);
                                    sink(id, subject, from);
                                });
    });
    if (!m_defaults.unicodeDisplay()) return;
    m_unicodeList.emplace(*m_mailbox);
    m_matrix.setUtf8Texts(true);
}

bool MailReader::openingFrame(const tocformat::WindowFrame& recorded, float recordedHeight,
                              tocformat::WindowFrame& frame, float& tocHeight) {
    MailBox::defaultWindowFrame(frame, tocHeight);
    // An index written before any window showed the mailbox holds the
    // defaults, or nothing at all; either way no window has been placed yet.
    if (recorded.width <= 0 || recorded.height <= 0 || recorded == frame) return false;
    frame = recorded;
    if (recordedHeight > 0) tocHeight = recordedHeight;
    return true;
}

MailReader::~MailReader() {
    if (m_background) {
        m_background.reset();
        m_compaction->abandon();
    }
    if (m_mailbox) {
        m_mailbox->setMailReader(nullptr);
        m_mailbox->removeLock();
    }
}

void MailReader::setView(MailReaderView* view) {
    m_view = view;
    m_matrix.onChanged = [this] {
        if (m_view) m_view->listChanged();
    };
    if (m_view) {
        m_view->setTitle(title());
        m_view->setStatusLineVisible(m_statusLineShown);
        m_view->setStatusText(m_statusText);
    }
}

std::string MailReader::attachmentFileAt(size_t position) const {
    const Attachment* cell = m_text.richText().attachmentAt(position);
    if (!cell) return {};
    if (!cell->path.empty() || !cell->body) return cell->path;
    return cell->body->fileIn(MimeMessage::attachmentDirectory(), cell->name);
}

std::string MailReader::title() const {
    auto slash = m_path.rfind('/');
    return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

void MailReader::fatal() { closeWindow(); }

void MailReader::getFrame(tocformat::WindowFrame& frame, float& tocHeight) {
    if (m_view && m_view->windowFrame(frame, tocHeight)) return;
    frame = m_frame;
    tocHeight = m_tocHeight;
}

void MailReader::windowWillClose() {
    if (m_mailbox && !m_readOnly) m_mailbox->viewsChanged(*this);
}

void MailReader::loadToc(const MsgList& list, bool atStart) { loadRows(&list, atStart); }

void MailReader::loadRows(const MsgList* list, bool atStart) {
    m_matrix.loadToc(list, atStart);
    m_mailbox->toc().releaseMsgList();
}

void MailReader::orderFront() {
    if (m_view) m_view->orderFront();
}

void MailReader::haveNewMail() {
    reloadList();
    updateStatus();
    if (!m_view) return;
    m_view->setTitle(title());
    m_view->setMiniature(m_newMail.hasNewMail() ? "mbox" : "empty");
}

void MailReader::closeWindow() {
    windowWillClose();
    if (m_mailbox) m_mailbox->removeLock();
    if (m_view) m_view->closeWindow();
}

void MailReader::incorporateMail() {
    // New mail waits until the compacted "mbox" is in place.
    if (m_compaction) {
        m_incorporateAfterCompaction = true;
        return;
    }
    bool atStart = false;
    int before = m_mailbox->getMailboxStatus().count;
    const MsgList* list = Incorporation::incorporateMailAtStart(*m_mailbox, &atStart);
    if (!list) return;
    loadRows(list, atStart);
    if (m_view && m_matrix.rowCount() > 0) m_view->scrollToRow(m_matrix.rowCount() - 1);
    updateStatus();
    int added = m_mailbox->getMailboxStatus().count - before;
    if (added <= 0) return;
    const char* format = added == 1 ? "%d new message" : "%d new messages";
    showCheckResult(formatString(localized(kUITable, format).c_str(), added));
}

void MailReader::showCheckResult(const std::string& text) {
    if (m_view) m_view->setStatusText(text);
}

void MailReader::reloadList() {
    std::vector<int> selected = m_matrix.getSelection();
    loadRows(&m_mailbox->getMsgList(), true);
    m_matrix.selectMsgIds(selected);
}

bool MailReader::refuseReadOnly(const char* title, const char* message) const {
    if (!m_readOnly) return false;
    runAlert(m_panels, title, "%s", "OK", nullptr, nullptr,
             localized(kAlertsTable, message).c_str());
    return true;
}

void MailReader::updateStatus() {
    MailboxStatus s = m_mailbox->getMailboxStatus();
    m_newMessageCount = s.unreadCount;
    m_newMail.updateNewMessageCount();
    bool sizes = m_matrix.showSizes();
    if (m_matrix.isFocused()) {
        long n = static_cast<long>(m_matrix.focusCount());
        const char* format = n == 1 ? "Focused on %d message" : "Focused on %d messages";
        m_statusText = formatString(localized(kUITable, format).c_str(), static_cast<int>(n));
    } else {
        m_statusText = formatString("%d ", s.count) +
                       localizedCount(s.count == 1 ? "message" : "messages", s.count) +
                       sizeSuffix(sizes, s.size);
        if (s.deletedCount > 0) {
            m_statusText += " - " + formatString("%d ", s.deletedCount) +
                            localizedCount("deleted", s.deletedCount) +
                            sizeSuffix(sizes, s.deletedSize);
        }
    }
    if (m_view) m_view->setStatusText(m_statusText);
}

MailReader::ItemState MailReader::validateItem(Command command) const {
    if (m_compaction) return {false, {}};
    return ReaderCommandTable::stateOf(*this, command);
}

void MailReader::perform(Command command, bool controlHeld) {
    settleDisplay();
    if (m_compaction || !ReaderCommandTable::perform(*this, command, controlHeld)) m_panels.beep();
}

bool MailReader::showsMimeMessage() const {
    return m_message && m_message->formatClass().name == std::string("MimeMessage");
}

void MailReader::checkNewMail() { m_newMail.checkNewMail(true); }

void MailReader::toggleFixedFont() {
    m_fixedFont = !m_fixedFont;
    if (m_view) m_view->messageChanged();
}

void MailReader::deleteMsg() {
    if (refuseReadOnly("Delete", "Unable to delete in this read-only mailbox")) return;
    if (m_newMail.hasNewMail() && m_defaults.autoFetch()) {
        m_newMail.clearNewMail();
        m_newMail.notifyToc();
    }
    std::vector<int> ids = m_matrix.deleteSelection();
    if (ids.empty()) return;
    m_undo.push_back(ids);
    m_mailbox->deleteMessages(ids);
    if (std::find(ids.begin(), ids.end(), m_curMsg) != ids.end()) {
        emptyMsg();
    } else {
        redisplay();
    }
    updateStatus();
}

void MailReader::deleteOne(bool controlHeld) {
    if (refuseReadOnly("Delete", "Unable to delete in this read-only mailbox")) return;
    if (controlHeld) {
        deleteMsg();
        emptyMsg();
        return;
    }
    loadNextMsg(true);
}

void MailReader::loadNextMsg(bool clear) {
    int next = m_matrix.nextMsgId(clear);
    if (clear) {
        deleteMsg();
        if (next < 0) {
            emptyMsg();
            return;
        }
    } else if (next < 0) {
        m_panels.beep();
        return;
    }
    showRow(m_matrix.rowForMsgId(next));
}

void MailReader::showRow(int row) {
    if (row < 0 || row >= m_matrix.rowCount()) return;
    int id = m_matrix.cellAtRow(row).msgId();
    m_matrix.selectRow(row);
    loadMessage(id);
    if (m_view) m_view->scrollToRow(row);
}

void MailReader::undeleteMsg() {
    if (refuseReadOnly("Undelete", "Unable to undelete in this read-only mailbox")) return;
    if (m_matrix.showDeletions()) {
        std::vector<int> selected = m_matrix.getSelection();
        bool any = std::any_of(selected.begin(), selected.end(),
                               [&](int id) { return m_mailbox->getStateForMsg(id).isDeleted(); });
        if (!any) return;
        m_undo.push_back(selected);
    } else if (m_undo.empty()) {
        int last = m_mailbox->undeleteMsg();
        if (last < 0) return;
        m_undo.push_back({last});
    }
    std::vector<int> record = m_undo.back();
    m_undo.pop_back();
    for (int id : record) m_mailbox->setState(MessageStatus::kRead, id, false);
    m_curMsg = record.back();
    m_mailbox->flushMsgState();
    reloadList();
    int row = m_matrix.rowForMsgId(m_curMsg);
    m_matrix.selectRow(row);
    loadMessage(m_curMsg);
    if (m_view) m_view->scrollToRow(row);
    updateStatus();
}

void MailReader::nextMsg() { loadNextMsg(false); }

void MailReader::previousMsg() {
    int row = m_curMsg >= 0 ? m_matrix.rowForMsgId(m_curMsg) : m_matrix.selectedRow();
    if (row <= 0) {
        m_panels.beep();
        return;
    }
    showRow(row - 1);
}

void MailReader::toggleMarkedAsRead() {
    std::vector<int> ids = m_matrix.getSelection();
    if (ids.empty()) return;
    bool read = !m_matrix.cellForMsgId(ids.front())->isRead();
    for (size_t i = 0; i < ids.size(); ++i) {
        m_mailbox->setState(read ? MessageStatus::kMarkedRead : MessageStatus::kUnread, ids[i],
                            i + 1 == ids.size());
        MailCell* cell = m_matrix.cellForMsgId(ids[i]);
        cell->setRead(read);
        cell->setDeleted(false);
    }
    redisplay();
    updateStatus();
}

void MailReader::toggleFlagged() {
    std::vector<int> ids = m_matrix.getSelection();
    if (ids.empty()) return;
    bool flag = !m_matrix.cellForMsgId(ids.front())->isFlagged();
    for (int id : ids) {
        m_mailbox->setState(flag ? MessageStatus::kFlagged : MessageStatus::kMarkedRead, id, false);
        m_matrix.cellForMsgId(id)->setFlagged(flag);
    }
    redisplay();
}

void MailReader::focus() {
    std::vector<int> ids = m_matrix.getSelection();
    if (ids.empty()) return;
    m_matrix.setFocus(std::set<int>(ids.begin(), ids.end()));
    reloadList();
    m_matrix.selectMsgIds(m_matrix.getAll());
    if (m_curMsg >= 0 && m_view) m_view->scrollToRow(m_matrix.rowForMsgId(m_curMsg));
    if (!m_statusLineShown && m_view) m_view->setStatusLineVisible(true);
    updateStatus();
    redisplay();
}

void MailReader::unfocus() {
    if (!m_matrix.isFocused()) return;
    std::vector<int> focused = m_matrix.getAll();
    if (m_curMsg < 0 && !focused.empty()) m_curMsg = focused.front();
    m_matrix.setFocus(std::nullopt);
    reloadList();
    m_matrix.selectMsgIds(focused);
    if (m_view) {
        m_view->scrollToRow(m_matrix.rowForMsgId(m_curMsg));
        if (!m_statusLineShown) m_view->setStatusLineVisible(false);
    }
    updateStatus();
    redisplay();
}

void MailReader::toggleShowingDeletions() {
    m_matrix.setShowDeletions(!m_matrix.showDeletions());
    reloadList();
    updateStatus();
}

void MailReader::toggleShowingSizes() {
    m_matrix.setShowSizes(!m_matrix.showSizes());
    updateStatus();
}

void MailReader::toggleShowingAllHeaders() {
    m_displayAllHeaders = !m_displayAllHeaders;
    if (m_curMsg >= 0) loadMessage(m_curMsg);
}

void MailReader::showPlainMessage() {
    if (m_curMsg < 0) return;
    m_displayAllHeaders = true;
    showMessage(m_curMsg, true);
}

void MailReader::findUnread() {
    int row = m_matrix.findUnread(m_matrix.selectedRow());
    if (row < 0) {
        m_panels.beep();
        return;
    }
    showRow(row);
}

void MailReader::selectMimeAlternative(AlternativeChoice choice) {
    m_mimeChoice = choice;
    if (m_curMsg >= 0) loadMessage(m_curMsg);
}

void MailReader::selectionDidChange(bool byKeys) {
    if (byKeys) {
        m_deferredDisplay.restart();
        return;
    }
    m_deferredDisplay.cancel();
    showSelection();
}

void MailReader::showSelection() {
    if (m_matrix.selectedRows().size() != 1) return;
    int id = m_matrix.cellAtRow(m_matrix.selectedRow()).msgId();
    if (id == m_curMsg) return;
    loadMessage(id);
}

void MailReader::loadMessage(int index) { showMessage(index, false); }

std::shared_ptr<const MailHeaders> MailReader::hiddenHeaders() const {
    return m_displayAllHeaders ? nullptr : filteredHeadersFrom(m_defaults);
}

void MailReader::showMessage(int index, bool forcePlain) {
    bool newMsg = m_mailbox->getStateForMsg(index).isNew();
    m_mailbox->setCurMsg(index);
    m_curMsg = index;
    std::optional<std::string_view> bytes = m_mailbox->loadMessageTextAt(index);
    if (!bytes) {
        emptyMsg();
        return;
    }
    m_text.clear();
    m_text.setUtf8(m_defaults.unicodeDisplay());
    m_message.reset();
    // The one copy kept of the shown message: its body and attachments are shares of it.
    m_shownBytes = SharedBytes::copyOf(*bytes);
    if (forcePlain) {
        MailHeaders::setFilteredHeaders(nullptr);
        m_text.replaceSel(m_text.isUtf8() ? utf8OrLatin1(*bytes) : std::string(*bytes));
    } else {
        m_message = renderMessage(m_shownBytes, m_path, hiddenHeaders(), m_text,
                                  MimeMessage::RenderOptions{m_mimeChoice});
        TextDisplayFilters::willDisplayText(m_text);
    }
    m_shownHeader.readMessage(m_shownBytes.view());
    m_hasForeignAttachment = bytes->find("\nbegin ") != std::string_view::npos;
    m_matrix.msgRead(index);
    showSummary();
    if (m_view) m_view->messageChanged();
    updateStatus();
    if (newMsg && m_mailbox->msgHeader().readReceipt()) maybeSendReadReceipt();
}

void MailReader::maybeSendReadReceipt() {
    const Message& header = m_mailbox->msgHeader();
    const std::string* address = header.get("Reply-To:");
    if (!address) address = header.get("From:");
    std::tm date = header.date().value_or(std::tm{});
    // After the display, on the next pass of the event loop.
    m_mailbox->context().runLoop.post([subject = header.emptyGet("Subject:"), date,
                                       address = address ? *address : std::string(),
                                       &defaults = m_defaults, &panels = m_panels] {
        ReadReceipt::answerRequest(subject, date, address, processLauncher(), defaults, panels);
    });
}

void MailReader::showSummary() {
    std::string sender, date;
    if (m_curMsg >= 0) {
        ByteSource in(m_shownBytes);
        std::unique_ptr<MailHeaders> parsed = MailHeaders::initFromStream(in);
        const std::string* from = parsed ? parsed->valueForKey("From") : nullptr;
        const std::string* sent = parsed ? parsed->valueForKey("Date") : nullptr;
        if (from) sender = addressComment(*from);
        if (sent) date = *sent;
    }
    if (m_view) m_view->setMessageSummary(sender, date);
}

std::optional<std::string> MailReader::attachDir() const {
    return m_message ? m_message->attachmentPath() : std::nullopt;
}

void MailReader::scrollToRow(int row) {
    if (m_view) m_view->scrollToRow(row);
}

void MailReader::emptyMsg() {
    m_text.clear();
    m_shownHeader.cleanList();
    m_message.reset();
    m_shownBytes = SharedBytes();
    m_curMsg = -1;
    m_hasForeignAttachment = false;
    showSummary();
    if (m_view) m_view->messageChanged();
}

void MailReader::redisplay() {
    if (m_view) m_view->listChanged();
}

namespace {

std::string& attachmentRoot() {
    static std::string root = "/tmp";
    return root;
}

// A name from mail never climbs out of the attachment directory.
std::string withoutParentComponents(const std::string& name) {
    std::string out;
    size_t start = 0;
    while (start <= name.size()) {
        size_t slash = name.find('/', start);
        std::string part = name.substr(start, slash - start);
        if (!part.empty() && part != ".." && part != ".") out += (out.empty() ? "" : "/") + part;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return out.empty() ? "attachment" : out;
}

bool beginLineFollows(std::string_view rest) {
    return rest.substr(0, 6) == "begin " || rest.find("\nbegin ") != std::string_view::npos;
}

bool writeDecoded(const std::string& dir, const std::string& name, int mode,
                  const std::string& data) {
    std::string path = dir + "/" + withoutParentComponents(name);
    mkdirs(path.substr(0, path.rfind('/')), 0700);
    UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
    if (!fd || !writeAll(fd.get(), data)) return false;
    // Only permission bits: a mode from mail never makes a set-id file.
    if (mode != 0) ::fchmod(fd.get(), static_cast<mode_t>(mode) & 0777);
    return true;
}

}  // namespace

namespace {

// One selected part: its message object and its stored body.
struct Part {
    std::unique_ptr<MailMessage> message;
    std::string body;
    long number = 0;  // "number" of a message/partial part; 0 when none
    std::string subject;
};

constexpr const char* kEnclosedKeys[] = {
    "Content-Description", "Content-Disposition", "Content-ID",   "Content-Transfer-Encoding",
    "Content-Type",        "Encrypted",           "MIME-Version", "Zell-Attachment"};

std::string_view bodyOf(std::string_view text) {
    size_t end = text.find("\n\n");
    return end == std::string_view::npos ? std::string_view() : text.substr(end + 2);
}

// Whether the part's own Content-Type is message/partial.
bool isPartial(MailMessage& m) {
    const std::string* type = m.headerValueForKey("Content-Type");
    if (!type) return false;
    size_t pos = 0;
    std::optional<std::string> major = parseMimeToken(*type, pos, "/", true);
    std::optional<std::string> minor = parseMimeToken(*type, pos, ";", true);
    return isKeyEqual(major, "message") && isKeyEqual(minor, "partial");
}

// Leading line feeds dropped, trailing ones kept to one.
std::string_view trimmedBody(std::string_view body) {
    size_t start = body.find_first_not_of('\n');
    if (start == std::string_view::npos) return {};
    size_t end = body.find_last_not_of('\n');
    return body.substr(start, end - start + 1 + (end + 1 < body.size() ? 1 : 0));
}

// The header block of the combined message: the first part's headers, with
// those of the enclosed message standing in for a message/partial wrapper.
std::string combinedHeaders(Part& first, const std::string& subject, std::string_view& firstBody) {
    MailHeaders headers(first.message->headers());
    if (isPartial(*first.message)) {
        ByteSource enclosed(firstBody);
        std::unique_ptr<MailHeaders> inner = MailHeaders::initFromStream(enclosed);
        for (const char* key : kEnclosedKeys) {
            const std::string* v = inner ? inner->valueForKey(key) : nullptr;
            headers.setKey(key, v ? std::optional<std::string_view>(*v) : std::nullopt);
        }
        if (!subject.empty()) headers.setKey("Subject", subject);
        firstBody = firstBody.substr(enclosed.position());
    }
    ByteSink sink;
    headers.writeToStream(sink);
    return sink.bytes() + "\n";
}

}  // namespace

std::string MailReader::combinedSubject(const std::string& first, const std::string& last) {
    size_t tail = 0;
    while (tail < first.size() && tail < last.size() &&
           first[first.size() - 1 - tail] == last[last.size() - 1 - tail]) {
        ++tail;
    }
    size_t head = 0;
    while (head < first.size() && head < last.size() && first[head] == last[head]) ++head;
    return formatString("%.*s-%s", static_cast<int>(first.size() - tail), first.c_str(),
                        last.c_str() + head);
}

void MailReader::combinePartialMessages() {
    std::vector<int> ids = m_matrix.getSelection();
    if (ids.size() < 2) return;
    std::vector<Part> parts;
    for (int id : ids) {
        std::optional<std::string_view> text = m_mailbox->loadMessageTextAt(id);
        if (!text) return;
        Part p;
        p.body = std::string(bodyOf(*text));
        p.message = m_mailbox->loadMessageAt(id, false);
        if (!p.message) return;
        if (auto* mime = dynamic_cast<MimeMessage*>(p.message.get())) {
            const std::string* n = mime->mimeParameterValueForKey("number");
            p.number = n ? std::atol(n->c_str()) : 0;
        }
        const std::string* s = p.message->headerValueForKey("Subject");
        p.subject = s ? *s : "";
        parts.push_back(std::move(p));
    }
    std::stable_sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) {
        if (a.number && b.number) return a.number < b.number;
        return a.subject < b.subject;
    });
    std::string subject = combinedSubject(parts.front().subject, parts.back().subject);
    std::string_view firstBody = parts.front().body;
    std::string combined = combinedHeaders(parts.front(), subject, firstBody);
    for (size_t i = 0; i < parts.size(); ++i) {
        combined += trimmedBody(i == 0 ? firstBody : std::string_view(parts[i].body));
    }
    combined += "\n";
    int before = m_mailbox->getMailboxStatus().count;
    if (!m_mailbox->getMail(combined)) return;
    int added = m_mailbox->getMailboxStatus().count - 1;
    if (added < before) return;
    deleteOne(false);
    reloadList();
    showRow(m_matrix.rowForMsgId(added));
}

void MailReader::setAttachmentRoot(std::string root) { attachmentRoot() = std::move(root); }

void MailReader::extractAttachment() {
    // A directory of our own making, so no planted link leads the files elsewhere.
    std::string dir = attachmentRoot() + "/QuillAttachments";
    if (!createUniqueDirectory(dir, 0700)) {
        Error::badFile(m_panels, Status::fileFailure(kFileCreate, dir));
        return;
    }
    ByteSource in(m_shownBytes);
    int decoded = 0;
    bool damaged = false;
    while (beginLineFollows(in.remaining())) {
        ByteSink data;
        std::string name;
        int mode = 0;
        if (!uudecode(in, data, &name, &mode)) {
            damaged = true;
            break;
        }
        if (writeDecoded(dir, name, mode, data.bytes())) ++decoded;
    }
    const char* title = "Decode Foreign Attachment";
    if (decoded > 0) {
        if (!workspace().openFile(dir)) {
            runAlert(m_panels, title, "Couldn't contact Workspace", "OK", nullptr, nullptr);
        }
    } else if (damaged) {
        runAlert(m_panels, title,
                 "Could not decode embedded document; it appear to have been damaged", "OK",
                 nullptr, nullptr);
    } else {
        runAlert(m_panels, title, "Could not find any embedded documents", "OK", nullptr, nullptr);
    }
}

void MailReader::addPrivateUser() {
    const char* title = "Add Private User";
    const std::string* from = m_message ? m_message->headerValueForKey("From") : nullptr;
    if (!m_message) {
        runAlert(title, "Select message first", "OK", nullptr, nullptr);
    } else if (!from) {
        runAlert(title, "No From Field", "OK", nullptr, nullptr);
    } else if (!Alias::shared().privateAliases().addPrivateName(*from)) {
        runAlert(title, "Can't add %s", "OK", nullptr, nullptr, from->c_str());
    } else if (!Alias::shared().windowActive() &&
               !Alias::shared().privateAliases().savePrivateUsers()) {
        runAlert("Saving Aliases", "Unable to save private users", "OK", nullptr, nullptr);
    }
}

std::unique_ptr<MailMessage> MailReader::draftToRestore(bool fromCommand) {
    std::string name = expandTilde(m_defaults.draftsMailbox());
    std::string drafts = name.starts_with('/') ? name : m_defaults.mailDirectory() + "/" + name;
    std::error_code error;
    const bool isDrafts = std::filesystem::equivalent(drafts, m_path, error);
    if (!fromCommand || (isDrafts && m_curMsg >= 0))
        return m_curMsg >= 0 ? m_mailbox->loadMessageAt(m_curMsg, false) : nullptr;
    MailBox* box = MailBox::newTempMailBox(drafts, m_mailbox->context());
    if (!box) return nullptr;
    for (int i = static_cast<int>(box->toc().length()) - 1; i >= 0; --i)
        if (!box->getStateForMsg(i).isDeleted()) return box->loadMessageAt(i, false);
    return nullptr;
}

void MailReader::openAttachment(const std::string& path) {
    if (workspace().openFile(path)) return;
    std::string name = path.substr(path.rfind('/') + 1);
    runAlert(m_panels, "Open Attachment", "No program on this computer is set up to open %s.", "OK",
             nullptr, nullptr, name.c_str());
}

void MailReader::textWillPrint(PrintScope scope, TextView& out,
                               const std::function<bool()>& interrupted) {
    out.clear();
    // Summaries are the list's texts, in the list's encoding.
    out.setUtf8(scope == PrintScope::Summaries ? m_matrix.utf8Texts()
                                               : m_defaults.unicodeDisplay());
    if (scope == PrintScope::Summaries) {
        for (int row = 0; row < m_matrix.rowCount(); ++row) {
            MailTexts t = m_matrix.loadedTextsAtRow(row);
            MailDetails d = m_matrix.detailsOf(m_matrix.cellAtRow(row));
            out.replaceSel(std::string(t.from) + "\t" + std::string(t.date) + "\t" +
                           std::string(t.subject) + "\t" + sizeString(d.size) + "\n");
        }
        return;
    }
    std::vector<int> ids = m_matrix.getSelection();
    if (ids.empty() && m_curMsg >= 0) ids.push_back(m_curMsg);
    bool first = true;
    for (int id : ids) {
        std::optional<std::string_view> bytes = m_mailbox->loadMessageTextAt(id);
        if (!bytes) continue;
        if (!first) {
            const std::string& so = out.plainText();
            size_t end = so.find_last_not_of(" \t\n");
            end = end == std::string::npos ? 0 : end + 1;
            out.setSel(end, so.size());
            out.replaceSel("\n\n\n----------\n\n\n");
        }
        first = false;
        TextView one;
        one.setUtf8(out.isUtf8());
        renderMessage(*bytes, m_path, hiddenHeaders(), one);
        out.setSel(out.textLength(), out.textLength());
        out.replaceSelWithView(one);
        out.setSel(out.textLength(), out.textLength());
        if (interrupted && interrupted()) throw PrintInterrupted();
    }
}

void MailReader::insertDelimiter(TextView& text) {
    size_t at = text.selStart();
    if (at > 0 && text.plainText()[at - 1] != '\n') text.replaceSel("\n");
    text.replaceSel("-----\n");
}

}  // namespace quill

namespace quill {
namespace {

long long& backgroundCompactionSize() {
    static long long bytes = 16ll << 20;
    return bytes;
}

}  // namespace

void MailReader::setBackgroundCompactionSize(long long bytes) {
    backgroundCompactionSize() = bytes;
}

void MailReader::showStep(const char* text) {
    if (m_view) m_view->setStatusText(localized(kUITable, text));
}

void MailReader::compact() {
    if (refuseReadOnly("Compact", "Unable to compact this read-only mailbox") || m_compaction)
        return;
    m_mailbox->setCurMsg(m_curMsg);
    showStep("Compacting mailbox file");
    m_compaction = m_mailbox->planCompaction();
    if (m_compaction->newSize() < backgroundCompactionSize()) {
        compactionCopied(m_compaction->writeMailFile(nullptr));
        return;
    }
    m_background = std::make_unique<BackgroundCompaction>(
        *m_compaction, m_panels, m_mailbox->context().runLoop,
        [this](const Status& copied) { compactionCopied(copied); });
}

void MailReader::compactionCopied(const Status& copied) {
    std::unique_ptr<Compaction> compaction = std::move(m_compaction);
    m_mailbox->context().runLoop.releaseLater(
        std::shared_ptr<BackgroundCompaction>(std::move(m_background)));
    bool finished = false;
    int selected = -1;
    if (!copied.ok()) {
        compaction->abandon();
        if (copied.kind() != Status::kCancelled) m_mailbox->context().fail(copied);
    } else {
        showStep("Compacting index file");
        finished = m_mailbox->finishCompaction(*compaction, selected);
    }
    // A mailbox that could not be reopened has been handed to the window to close.
    if (!m_mailbox->mailFile()) return;
    std::size_t removed = finished ? compaction->deletedAttachments().size() : 0;
    m_undo.clear();
    emptyMsg();
    loadRows(&m_mailbox->getMsgList(), true);
    if (selected >= 0) showRow(m_matrix.rowForMsgId(selected));
    if (m_view) m_view->setTitle(title());
    updateStatus();
    if (removed > 0 && m_view) {
        const char* format = removed == 1 ? "Removing %d attachment" : "Removing %d attachments";
        m_view->setStatusText(
            formatString(localized(kUITable, format).c_str(), static_cast<int>(removed)));
    }
    if (std::exchange(m_incorporateAfterCompaction, false)) incorporateMail();
}

bool MailReader::transferTo(const std::string& path) {
    if (path.empty() || m_compaction) return false;
    std::vector<int> ids = m_matrix.getSelection();
    if (ids.empty()) {
        runAlert(m_panels, "Transfer", "%s", "OK", nullptr, nullptr,
                 localized(kAlertsTable, "No messages selected for transfer.").c_str());
        return false;
    }
    if (m_view) {
        const char* format =
            ids.size() == 1 ? "Moving %d message to %s" : "Moving %d messages to %s";
        m_view->setStatusText(formatString(localized(kUITable, format).c_str(),
                                           static_cast<int>(ids.size()), path.c_str()));
    }
    MailBox* target = MailBox::newTempMailBox(path, m_mailbox->context());
    if (!target || target == m_mailbox.get()) return false;
    if (target->readOnly()) {
        runAlert(m_panels, "Transfer", "%s", "OK", nullptr, nullptr,
                 localized(kAlertsTable, "Unable to transfer to this read-only mailbox").c_str());
        return false;
    }
    if (!m_mailbox->transfer(ids, *target)) {
        updateStatus();
        return false;
    }
    m_matrix.deleteSelection();
    if (std::find(ids.begin(), ids.end(), m_curMsg) != ids.end()) {
        emptyMsg();
    } else {
        redisplay();
    }
    if (m_view) m_view->setTitle(title());
    updateStatus();
    return true;
}

void MailReader::pasteText(const std::string& text) {
    if (refuseReadOnly("Paste", "Unable to paste in this read-only mailbox") || m_compaction)
        return;
    if (text.empty()) {
        m_panels.beep();
        return;
    }
    // The mailbox hands the new rows to this window (loadToc) as it appends.
    if (!m_mailbox->pasteMail(text)) return;
    if (m_view && m_matrix.rowCount() > 0) m_view->scrollToRow(m_matrix.rowCount() - 1);
    updateStatus();
}

}  // namespace quill
