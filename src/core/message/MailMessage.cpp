#include "message/MailMessage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "BuildInfo.h"
#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "base/ascii.h"
#include "message/charset.h"
#include "message/headertext.h"
#include "platform/Error.h"
#include "platform/UserInfo.h"

namespace quill {

namespace {

constexpr std::string_view kEnvelope = "From ";
constexpr std::string_view kReceived = "Received";
constexpr std::string_view kOurReceived = "by Zell";

struct ClassWideState {
    std::vector<const MailClass*> classes;
    bool escapeFromLines = false;
    int lineLength = 0;
    std::optional<std::string> defaultAttachmentDirectory = std::string("/tmp");
};

ClassWideState& classWide() {
    static ClassWideState state;
    return state;
}

bool hasHighBytes(std::string_view s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 128; });
}

// Writes the body line by line, putting ">" before every line of more than
// five bytes that begins with "From ", so a reader of the mailbox never takes
// it for the start of the next message.
bool writeEscapedBody(std::string_view body, ByteSink& sink) {
    size_t written = 0;
    for (size_t start = 0; start < body.size();) {
        size_t nl = body.find('\n', start);
        size_t end = nl == std::string_view::npos ? body.size() : nl + 1;
        if (end - start > kEnvelope.size() && body.substr(start).starts_with(kEnvelope)) {
            sink.write(body.substr(written, start - written));
            sink.put('>');
            written = start;
        }
        start = end;
    }
    sink.write(body.substr(written));
    return sink.ok();
}

// The wrapping writer for outgoing text. It keeps the text read but not yet
// written (from m_pending), the display column and a slack flag raised at each
// input line start. Hard line ends lose their trailing blanks; a soft line end
// is a blank and a newline after the break byte, so the receiver can tell
// them apart.
class BodyWrapper {
  public:
    BodyWrapper(std::string_view body, ByteSink& sink, int width, bool escape)
        : m_body(body),
          m_sink(sink),
          m_width(width > 0 ? static_cast<size_t>(width) : 0),
          m_escape(escape) {}

    bool run() {
        for (size_t i = 0; i < m_body.size(); ++i) {
            if (m_escape && startsLine(i) && m_body.substr(i).starts_with(kEnvelope)) {
                writeTo(i);
                m_sink.put('>');
            }
            char c = m_body[i];
            if (c == '\n') {
                hardLineEnd(i);
                continue;
            }
            m_column = advance(m_column, c);
            if (m_width == 0 || m_column < m_width) continue;
            if (m_slack) {
                // A line only a little too long is left whole rather than
                // leaving a stub of a few characters on a line of its own.
                size_t nl = newlineAhead(i);
                if (nl != std::string_view::npos) {
                    i = nl - 1;
                    continue;
                }
            }
            i = softLineEnd(i);
        }
        writeTo(m_body.size());
        return m_sink.ok();
    }

  private:
    static size_t advance(size_t column, char c) {
        return c == '\t' ? (column / 8 + 1) * 8 : column + 1;
    }
    bool startsLine(size_t i) const { return i == 0 || m_body[i - 1] == '\n'; }
    static bool isBreak(char c) { return isSpace(c); }

    void writeTo(size_t end) {
        m_sink.write(m_body.substr(m_pending, end - m_pending));
        m_pending = end;
    }

    void hardLineEnd(size_t i) {
        size_t end = i;
        while (end > m_pending && isBlank(m_body[end - 1])) --end;
        if (end < i) {
            writeTo(end);
            m_sink.put('\n');
            m_pending = i + 1;
        }
        m_column = 0;
        m_slack = true;
    }

    // A newline within the next tenth of the width, or npos.
    size_t newlineAhead(size_t i) const {
        size_t last = std::min(i + m_width / 10, m_body.size() - 1);
        for (size_t j = i + 1; j <= last; ++j)
            if (m_body[j] == '\n') return j;
        return std::string_view::npos;
    }

    // Breaks at the last white space before i in the pending text, else at the
    // next one after it (an unbreakable word stays whole); answers the last
    // byte scanned.
    size_t softLineEnd(size_t i) {
        size_t brk = i;
        while (brk > m_pending && !isBreak(m_body[brk])) --brk;
        if (brk == m_pending) {
            brk = i;
            while (brk + 1 < m_body.size() && !isBreak(m_body[brk])) ++brk;
        }
        writeTo(brk + 1);
        if (m_body[brk] != '\n' && brk + 1 < m_body.size()) m_sink.write(" \n");
        m_slack = brk > i && m_body[brk] == '\n';
        m_column = 0;
        if (brk >= i) return brk;
        for (size_t j = brk + 1; j <= i; ++j) m_column = advance(m_column, m_body[j]);
        return i;
    }

    std::string_view m_body;
    ByteSink& m_sink;
    size_t m_width;  // 0: unlimited
    bool m_escape;
    size_t m_pending = 0;
    size_t m_column = 0;
    bool m_slack = true;
};

}  // namespace

// ---- format classes ----

const MailClass& MailMessage::mailClass() {
    static const MailClass cls{
        "MailMessage",
        "Unknown",
        "nonzell",
        true,
        &MailMessage::willingnessToDecode,
        []() -> std::unique_ptr<MailMessage> { return std::make_unique<MailMessage>(); }};
    return cls;
}

double MailMessage::willingnessToDecode(const MailHeaders&) { return 0.333; }

void MailMessage::registerMailClass(const MailClass& cls) {
    auto& classes = classWide().classes;
    if (std::find(classes.begin(), classes.end(), &cls) == classes.end()) classes.push_back(&cls);
}

void MailMessage::unregisterMailClass(const MailClass& cls) {
    auto& classes = classWide().classes;
    classes.erase(std::remove(classes.begin(), classes.end(), &cls), classes.end());
}

const std::vector<const MailClass*>& MailMessage::mailClasses() { return classWide().classes; }

std::unique_ptr<MailMessage> MailMessage::newFromStream(ByteSource& stream,
                                                        std::string_view mailbox,
                                                        const MailClass& receiver) {
    std::unique_ptr<MailHeaders> block = MailHeaders::initFromStream(stream);
    if (!block) return nullptr;
    const MailClass* winner = &receiver;
    double best = receiver.willingnessToDecode(*block);
    for (const MailClass* cls : mailClasses()) {
        double willingness = cls->willingnessToDecode(*block);
        if (willingness > best) {
            best = willingness;
            winner = cls;
        }
    }
    std::unique_ptr<MailMessage> message = winner->create();
    message->setHeaders(std::move(block));
    if (!message->readBodyFromStreamMailbox(stream, mailbox)) return nullptr;
    return message;
}

std::unique_ptr<MailMessage> MailMessage::initFromStream(ByteSource& stream,
                                                         std::string_view mailbox) {
    auto message = std::make_unique<MailMessage>();
    if (!message->readFromStreamMailbox(stream, mailbox)) return nullptr;
    return message;
}

std::unique_ptr<MailMessage> MailMessage::initFromFile(const std::string& path, Status& status) {
    auto message = std::make_unique<MailMessage>();
    status = message->loadFromFile(path);
    if (!status.ok()) return nullptr;
    return message;
}

Status MailMessage::loadFromFile(const std::string& path) {
    Mapping map = Mapping::ofFile(path);
    if (!map.valid()) return Status::fileFailure(kFileOpen, path);
    ByteSource stream(map.view());
    return readFromStream(stream) ? Status() : Status::fileFailure(kFileRead, path, 0);
}

// ---- class-wide settings ----

bool MailMessage::escapeFromLines() { return classWide().escapeFromLines; }
void MailMessage::setEscapeFromLines(bool flag) { classWide().escapeFromLines = flag; }
int MailMessage::lineLength() { return classWide().lineLength; }
void MailMessage::setLineLength(int length) { classWide().lineLength = length; }

const std::optional<std::string>& MailMessage::defaultAttachmentDirectory() {
    return classWide().defaultAttachmentDirectory;
}

void MailMessage::setDefaultAttachmentDirectory(std::optional<std::string> path) {
    classWide().defaultAttachmentDirectory = std::move(path);
}

// ---- headers ----

MailHeaders& MailMessage::headers() {
    if (!myHeaders) setHeaders(std::make_unique<MailHeaders>());
    return *myHeaders;
}

void MailMessage::setHeaders(std::unique_ptr<MailHeaders> block) {
    myHeaders = std::move(block);
    if (!myHeaders) return;
    myHeaders->setDelegate(this);
    // Our own trace header says whether the sender asked for a read receipt.
    const std::string* received = myHeaders->valueForKey(kReceived);
    if (received && received->starts_with(kOurReceived))
        myReadReceipt = received->find(".RR") != std::string::npos;
}

const std::string* MailMessage::headerValueForKey(std::string_view key) {
    return headers().valueForKey(key);
}

void MailMessage::setHeaderKey(std::string_view key, std::optional<std::string_view> value) {
    headers().setKey(key, value);
}

// ---- reading ----

bool MailMessage::readHeadersFromStream(ByteSource& stream) {
    std::unique_ptr<MailHeaders> block = MailHeaders::initFromStream(stream);
    if (!block) return false;
    setHeaders(std::move(block));
    return true;
}

bool MailMessage::readBodyFromStream(ByteSource& stream) {
    setBody(stream.readRestShared());
    return true;
}

bool MailMessage::readBodyFromStreamMailbox(ByteSource& stream, std::string_view) {
    return readBodyFromStream(stream);
}

bool MailMessage::readFromStream(ByteSource& stream) {
    return readHeadersFromStream(stream) && readBodyFromStream(stream);
}

bool MailMessage::readFromStreamMailbox(ByteSource& stream, std::string_view mailbox) {
    return readHeadersFromStream(stream) && readBodyFromStreamMailbox(stream, mailbox);
}

// ---- writing ----

bool MailMessage::writeHeadersToStream(ByteSink& sink) { return headers().writeToStream(sink); }

bool MailMessage::writeBodyToStream(ByteSink& sink) {
    if (!escapeFromLines()) return sink.write(bodyView());
    return writeEscapedBody(bodyView(), sink);
}

bool MailMessage::writeBodyToStreamWrapAtColumn(ByteSink& sink, int column) {
    return BodyWrapper(bodyView(), sink, column - 2, escapeFromLines()).run();
}

bool MailMessage::writeToStream(ByteSink& sink) {
    return writeHeadersToStream(sink) && sink.put('\n') && writeBodyToStream(sink);
}

bool MailMessage::writeToStreamWrapAtColumn(ByteSink& sink, int column) {
    return writeHeadersToStream(sink) && sink.put('\n') &&
           writeBodyToStreamWrapAtColumn(sink, column);
}

bool MailMessage::writeToStreamMailbox(ByteSink& sink, std::string_view) {
    MailHeaders& block = headers();
    bool hadEnvelope = block.hasFromSpace();
    bool wasEscaping = escapeFromLines();
    block.setFromSpace(true);
    setEscapeFromLines(true);
    bool ok = writeToStream(sink) && sink.put('\n');
    setEscapeFromLines(wasEscaping);
    if (!hadEnvelope) block.setFromSpace(false);
    return ok;
}

bool MailMessage::writeHeaderKey(std::string_view key, std::string_view value, ByteSink& sink) {
    // Plain mail can only carry ASCII in its headers.
    if (hasHighBytes(value))
        return MailHeaders::writeHeaderKey(key, asciiTransliteration(value), sink);
    return MailHeaders::writeHeaderKey(key, value, sink);
}

void MailMessage::addReceivedByZellIfNeeded() {
    MailHeaders& block = headers();
    int pos = block.indexOfKey(kReceived);
    // Someone else's trace header stays; ours goes directly below it.
    if (pos >= 0 && !block.valueAt(pos).starts_with(kOurReceived))
        block.insertKey(kReceived, "", pos);
    std::string value =
        formatString("%s.Mailer (%s %s %s)", std::string(kOurReceived).c_str(),
                     platformBuildText().c_str(), kMailerVersionText, myReadReceipt ? ".RR" : "");
    setHeaderKey(kReceived, value);
}

// ---- attachments and signature ----

std::string MailMessage::attachmentName() const {
    if (!myAttachmentPath) return {};
    size_t slash = myAttachmentPath->rfind('/');
    return slash == std::string::npos ? *myAttachmentPath : myAttachmentPath->substr(slash + 1);
}

std::string MailMessage::makeFilename(const std::optional<std::string>& directory,
                                      std::string_view type) {
    const std::string* subject = headerValueForKey("Subject");
    std::string_view title = subject ? std::string_view(*subject) : std::string_view();
    while (!title.empty() && !isAlnum(title.front())) title.remove_prefix(1);
    if (title.empty()) title = "Zellmail";

    std::string name;
    for (char c : title)
        name += isAlnum(c) || std::string_view("@+-=_").find(c) != std::string_view::npos ? c : '_';
    while (!name.empty() && name.back() == '_') name.pop_back();
    if (name.size() >= 21) name.resize(20);

    std::string path = directory ? *directory + "/" : std::string();
    path += name;
    path += type;
    return path;
}

bool MailMessage::makeUniqueAttachmentInDirectory(const std::optional<std::string>& directory) {
    std::string path =
        makeFilename(directory ? directory : defaultAttachmentDirectory(), ".attach");
    mkuniquefile(path);
    if (mkdirs(path, 0700) != 0) {
        logError("MailMessage", "Could not create attachment directory %s", path.c_str());
        return false;
    }
    setAttachmentPath(path);
    return true;
}

bool MailMessage::addSignature() {
    std::string signature;
    if (!readFile(currentUser().homeDir + "/.signature", signature)) return true;
    std::string text(bodyView());
    text += '\n';
    text += signature;
    setBodyNoCopy(std::move(text));
    return true;
}

// ---- rendering ----

void MailMessage::replaceSelWithHeadersInText(const RunSink& out) {
    headers().replaceSelInText(out);
}

void MailMessage::replaceSelWithHeaderBlock(const RunSink& out, std::string_view stored,
                                            bool unicode) {
    std::unique_ptr<MailHeaders> shown = unicode ? displayHeaders(stored) : nullptr;
    if (shown)
        shown->replaceSelInText(out);
    else
        replaceSelWithHeadersInText(out);
    out("\n", false);
}

void MailMessage::replaceSelWithBodyInText(const RunSink& out) { out(bodyView(), false); }

void MailMessage::replaceSelInText(const RunSink& out) {
    replaceSelWithHeadersInText(out);
    out("\n", false);
    replaceSelWithBodyInText(out);
}

// ---- free helpers ----

const std::string& platformBuildText() {
    static const std::string text =
        formatString("%s %s %s %s", buildinfo::kOperatingSystem, buildinfo::kRelease,
                     buildinfo::kProcessor, buildinfo::kBuildDate);
    return text;
}

void mkuniquefile(std::string& path) {
    static std::atomic<int> counter{1};
    // The system sees a path only up to its first NUL; testing one name while
    // changing another would never end.
    path.resize(std::strlen(path.c_str()));
    size_t componentStart = path.rfind('/');
    componentStart = componentStart == std::string::npos ? 0 : componentStart + 1;
    size_t dot = path.rfind('.');
    size_t stemEnd = dot != std::string::npos && dot > componentStart ? dot : path.size();
    const std::string stem = path.substr(0, stemEnd);
    const std::string suffix = path.substr(stemEnd);
    struct stat st;
    while (::lstat(path.c_str(), &st) == 0)
        path = stem +
               formatString("-%d-%d%s", static_cast<int>(::getpid()), counter++, suffix.c_str());
}

UniqueFd createUniqueFile(std::string& path, mode_t mode) {
    mkuniquefile(path);
    for (;;) {
        UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
        if (fd || errno != EEXIST) return fd;
        mkuniquefile(path);
    }
}

bool createUniqueDirectory(std::string& path, mode_t mode) {
    mkuniquefile(path);
    while (::mkdir(path.c_str(), mode) != 0) {
        if (errno != EEXIST) return false;
        mkuniquefile(path);
    }
    return true;
}

int mkdirs(const std::string& path, mode_t mode) {
    struct stat st;
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string ancestor = path.substr(0, slash);
        if (ancestor.empty() || ancestor.back() == '/' || ::stat(ancestor.c_str(), &st) == 0)
            continue;
        if (::mkdir(ancestor.c_str(), mode) != 0 && errno != EEXIST) return -1;
    }
    return ::mkdir(path.c_str(), mode);
}

}  // namespace quill
