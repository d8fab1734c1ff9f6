// The message model: format selection, reading and writing (mailbox escaping
// and the wrapping writer), the trace header, attachment directory names and
// the signature.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "base/FileHandles.h"
#include "message/MailMessage.h"
#include "store/MailBox.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

// Format classes for selection tests: each answers a fixed willingness and
// makes messages that know their class.
template <int Id, int Percent>
struct Fixed : MailMessage {
    static double willing(const MailHeaders&) { return Percent / 100.0; }
    static const MailClass& cls() {
        static const MailClass c{
            "Fixed",   "Fixed",
            "nonzell", true,
            &willing,  []() -> std::unique_ptr<MailMessage> { return std::make_unique<Fixed>(); }};
        return c;
    }
    const MailClass& formatClass() const override { return cls(); }
};

struct MimeLike : MailMessage {
    static double willing(const MailHeaders& h) {
        const std::string* type = h.valueForKey("Content-Type");
        return h.hasKey("MIME-Version") || (type && type->find('/') != std::string::npos) ? 0.667
                                                                                          : 0.333;
    }
    static const MailClass& cls() {
        static const MailClass c{"MimeLike",
                                 "Unknown",
                                 "mimemail",
                                 true,
                                 &willing,
                                 []() -> std::unique_ptr<MailMessage> { return std::make_unique<MimeLike>(); }};
        return c;
    }
    const MailClass& formatClass() const override { return cls(); }
};

class MailMessageTest : public test::QuillTest {
  protected:
    void TearDown() override {
        for (const MailClass* cls : std::vector<const MailClass*>(MailMessage::mailClasses()))
            MailMessage::unregisterMailClass(*cls);
        MailMessage::setEscapeFromLines(false);
        test::QuillTest::TearDown();
    }

    static std::unique_ptr<MailMessage> read(std::string_view text) {
        ByteSource source(text);
        return MailMessage::newFromStream(source);
    }
    static std::unique_ptr<MailMessage> withBody(std::string_view body) {
        auto message = std::make_unique<MailMessage>();
        message->setBody(body);
        return message;
    }
    static std::string wrapped(std::string_view body, int column) {
        ByteSink sink;
        EXPECT_TRUE(withBody(body)->writeBodyToStreamWrapAtColumn(sink, column));
        return sink.take();
    }
    static std::string headerText(MailMessage& message) {
        ByteSink sink;
        EXPECT_TRUE(message.writeHeadersToStream(sink));
        return sink.take();
    }
};

// ---- format selection ----

TEST_F(MailMessageTest, PlainMailIsReadByTheBaseClass) {
    MailMessage::registerMailClass(MailMessage::mailClass());
    MailMessage::registerMailClass(MimeLike::cls());
    struct Row {
        const char* name;
        const char* text;
        const char* expected;
    } rows[] = {
        {"plain", "Subject: s\n\nbody\n", "MailMessage"},
        {"mime-version", "MIME-Version: 1.0\nSubject: s\n\nbody\n", "MimeLike"},
        {"typed", "Content-Type: text/plain\n\nbody\n", "MimeLike"},
        {"untyped", "Content-Type: text\n\nbody\n", "MailMessage"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto message = read(row.text);
        ASSERT_NE(message, nullptr);
        EXPECT_STREQ(message->formatClass().name, row.expected);
        EXPECT_EQ(message->stringBody(), "body\n");
    }
}

TEST_F(MailMessageTest, TiesGoToTheEarlierClass) {
    using A = Fixed<1, 80>;
    using B = Fixed<2, 80>;
    using Shy = Fixed<3, 33>;
    auto chosen = [](const MailClass& receiver = MailMessage::mailClass()) {
        ByteSource source("Subject: s\n\nbody");
        auto message = MailMessage::newFromStream(source, {}, receiver);
        EXPECT_EQ(message->stringBody(), "body");
        return &message->formatClass();
    };
    MailMessage::registerMailClass(Shy::cls());
    EXPECT_EQ(chosen(), &MailMessage::mailClass());  // 0.333 never beats the receiver's 0.333

    MailMessage::registerMailClass(A::cls());
    MailMessage::registerMailClass(B::cls());
    MailMessage::registerMailClass(A::cls());  // ignored: already registered
    EXPECT_EQ(MailMessage::mailClasses().size(), 3u);
    EXPECT_EQ(chosen(), &A::cls());
    EXPECT_EQ(chosen(B::cls()), &B::cls());  // the receiver is asked first

    MailMessage::unregisterMailClass(A::cls());
    MailMessage::registerMailClass(A::cls());
    EXPECT_EQ(chosen(), &B::cls());
}

TEST_F(MailMessageTest, OurTraceHeaderCarriesTheReadReceiptRequest) {
    EXPECT_TRUE(read("Received: by Zell.Mailer (x Version 1.1 .RR)\n\n")->readReceipt());
    EXPECT_FALSE(read("Received: by Zell.Mailer (x Version 1.1 )\n\n")->readReceipt());
    EXPECT_FALSE(read("Received: from elsewhere .RR\n\n")->readReceipt());
}

// ---- writing into a mailbox ----

TEST_F(MailMessageTest, MailboxWriteEscapesFromLinesAndRestoresState) {
    auto message = read("From: joe@x.org\nSubject: s\n\nFrom x\nFrom\nsee From y\nFrom ");
    ByteSink sink;
    ASSERT_TRUE(message->writeToStreamMailbox(sink, {}));
    std::string bytes = sink.take();
    std::string expectedTail =
        "\nFrom: joe@x.org\nSubject: s\n\n>From x\nFrom\nsee From y\nFrom \n";
    ASSERT_TRUE(bytes.starts_with("From " + MailHeaders::fromSpaceUser() + " ")) << bytes;
    EXPECT_TRUE(bytes.ends_with(expectedTail)) << bytes;
    EXPECT_EQ(bytes.find('\n'), MailHeaders::fromSpaceUser().size() + 5 + 1 + 24);
    EXPECT_FALSE(message->headers().hasFromSpace());
    EXPECT_FALSE(MailMessage::escapeFromLines());
}

// The seam with the store: what appendMessage hands to getMail, and what
// loadMessageAt builds from the stored text.
TEST_F(MailMessageTest, AppendedMessagesLoadBackFromAMailbox) {
    std::string path = mailDir() + "/Seam.mbox";
    ASSERT_TRUE(makeMailbox(path).ok());
    auto box = MailBox::newMailBox(path, mailContext());
    ASSERT_TRUE(box);
    auto first = read("From: joe@x.org\nSubject: first\n\nFrom x\nbody\n");
    auto second = read("Subject: second\n\nno newline at the end");
    for (MailMessage* message : {first.get(), second.get()}) {
        ByteSink sink;
        ASSERT_TRUE(message->writeToStreamMailbox(sink, box->dirname()));
        ASSERT_TRUE(box->getMail(sink.bytes()));
    }
    struct Row {
        MailMessage* original;
        const char* body;
    } rows[] = {{first.get(), ">From x\nbody\n"}, {second.get(), "no newline at the end"}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        std::optional<std::string_view> text = box->loadMessageTextAt(i);
        ASSERT_TRUE(text);
        ByteSource source(*text);
        auto loaded = MailMessage::newFromStream(source, box->dirname());
        ASSERT_NE(loaded, nullptr);
        loaded->headers().setFromSpace(false);
        EXPECT_EQ(headerText(*loaded), headerText(*rows[i].original));
        EXPECT_EQ(loaded->stringBody(), rows[i].body);
    }
}

TEST_F(MailMessageTest, MailboxWriteKeepsAnExistingEnvelope) {
    auto message = read("From joe Thu Mar 13 10:02:07 1997\nSubject: s\n\nbody\n");
    ByteSink sink;
    ASSERT_TRUE(message->writeToStreamMailbox(sink, {}));
    EXPECT_EQ(sink.bytes(), "From joe Thu Mar 13 10:02:07 1997\nSubject: s\n\nbody\n\n");
    EXPECT_TRUE(message->headers().hasFromSpace());
}

TEST_F(MailMessageTest, EightBitHeaderValuesAreTransliterated) {
    auto message = std::make_unique<MailMessage>();
    message->setHeaderKey("Subject",
                          "\x87"
                          "af\x88 na\xe1ve");
    message->setBody("x\n");
    ByteSink sink;
    ASSERT_TRUE(message->writeToStream(sink));
    EXPECT_EQ(sink.bytes(), "Subject: CafE naAEve\n\nx\n");
}

TEST_F(MailMessageTest, DescriptorSinksWriteThroughOnce) {
    std::string path = tmp() + "/out.txt";
    auto message = read("Subject: s\n\n" + std::string(200000, 'b'));
    {
        UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_TRUE(fd);
        ByteSink sink(fd.get());
        ASSERT_TRUE(message->writeToStream(sink));
        ByteSink moved(std::move(sink));  // only the new owner flushes
        EXPECT_TRUE(moved.flush());
    }
    EXPECT_EQ(test::slurp(path), "Subject: s\n\n" + std::string(200000, 'b'));

    UniqueFd readOnly = openFile(path, O_RDONLY);
    ByteSink refused(readOnly.get());
    EXPECT_FALSE(message->writeToStream(refused) && refused.flush());
    EXPECT_FALSE(refused.ok());
}

TEST_F(MailMessageTest, ShortWritesFail) {
    auto message = read("Subject: s\n\n" + std::string(100, 'b'));
    ByteSink sink = ByteSink::withCapacity(40);
    EXPECT_FALSE(message->writeToStream(sink));
    ByteSink wrapSink = ByteSink::withCapacity(40);
    EXPECT_FALSE(message->writeToStreamWrapAtColumn(wrapSink, 72));
}

// ---- the wrapping writer ----

TEST_F(MailMessageTest, WrappingCases) {
    std::string words100;
    while (words100.size() < 100) words100 += "abcd ";
    words100.resize(100);
    struct Row {
        const char* name;
        std::string body;
        int column;
        std::string expected;
    } rows[] = {
        {"slightly long line stays whole", std::string(75, 'x') + "\nnext\n", 72,
         std::string(75, 'x') + "\nnext\n"},
        {"too long for the slack", "word " + std::string(72, 'y') + "\n", 72,
         "word  \n" + std::string(72, 'y') + "\n"},
        {"broken at the last blank before the width", words100 + "\n", 72,
         words100.substr(0, 70) + " \n" + words100.substr(70, 29) + "\n"},
        {"no blanks: whole up to the newline", std::string(100, 'z') + "\nab cd\n", 72,
         std::string(100, 'z') + "\nab cd\n"},
        {"trailing blanks dropped at hard line ends", "one  \t\ntwo \nthree", 72,
         "one\ntwo\nthree"},
        {"unlimited still trims", std::string(200, 'a') + " b  \n", 0,
         std::string(200, 'a') + " b\n"},
        {"last byte breaks without a soft end", std::string(30, 'q'), 12, std::string(30, 'q')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(wrapped(row.body, row.column), row.expected);
    }
}

TEST_F(MailMessageTest, WrappingEscapesEveryFromLineIncludingTheFirst) {
    MailMessage::setEscapeFromLines(true);
    EXPECT_EQ(wrapped("From me\nhello\nFrom you  \n", 72), ">From me\nhello\n>From you\n");
    MailMessage::setEscapeFromLines(false);
    EXPECT_EQ(wrapped("From me\n", 72), "From me\n");
}

// Output lines are at most W plus the slack a nearly-fitting line may use
// (a tenth of W) or the two bytes of a soft line end, unless they hold one
// unbreakable word; no hard line end keeps trailing blanks; and removing the
// soft line ends gives the input back.
TEST_F(MailMessageTest, WrappingPropertiesHoldOnGeneratedText) {
    std::mt19937 random(20241206);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int round = 0; round < 300; ++round) {
        int column = pick(0, 3) == 0 ? 72 : pick(12, 100);
        size_t width = static_cast<size_t>(column - 2);
        bool trailingBlanks = round % 2 == 1;
        std::string input;
        int count = pick(1, 150);
        for (int w = 0; w < count; ++w) {
            int length = pick(0, 20) == 0 ? pick(60, 130) : pick(1, 12);
            input += std::string(static_cast<size_t>(length), static_cast<char>('a' + pick(0, 25)));
            int gap = pick(0, 12);
            if (gap == 0) {
                if (trailingBlanks) input += std::string(static_cast<size_t>(pick(1, 3)), ' ');
                input += '\n';
            } else {
                input += gap == 1 ? "  " : gap == 2 ? "\t" : " ";
            }
        }
        SCOPED_TRACE("round " + std::to_string(round) + " column " + std::to_string(column));
        std::string out = wrapped(input, column);

        std::string joined;
        size_t start = 0;
        for (size_t nl = out.find('\n'); nl != std::string::npos; nl = out.find('\n', start)) {
            std::string line = out.substr(start, nl - start);
            start = nl + 1;
            bool soft = !line.empty() && line.back() == ' ';
            EXPECT_FALSE(!line.empty() && line.back() == '\t') << line;
            size_t first = line.find_first_not_of(" \t"), last = line.find_last_not_of(" \t");
            bool oneWord =
                first == std::string::npos ||
                line.substr(first, last - first + 1).find_first_of(" \t") == std::string::npos;
            EXPECT_TRUE(oneWord || line.size() <= width + std::max<size_t>(2, width / 10)) << line;
            joined += soft ? line.substr(0, line.size() - 1) : line + "\n";
        }
        joined += out.substr(start);
        if (!trailingBlanks) {
            EXPECT_EQ(joined, input);
        }
    }
}

// ---- trace header ----

TEST_F(MailMessageTest, TraceHeaderGoesBelowForeignOnesAndIsReplacedWhenOurs) {
    std::string ours = "by Zell.Mailer (" + platformBuildText() + " Version 1.1 )";
    auto fresh = read("Subject: s\n\n");
    fresh->addReceivedByZellIfNeeded();
    ASSERT_EQ(fresh->headers().count(), 2);
    EXPECT_EQ(fresh->headers().keyAt(1), "Received");  // written first
    EXPECT_EQ(fresh->headers().valueAt(1), ours);

    auto relayed = read("Received: from relay\nSubject: s\n\n");
    relayed->addReceivedByZellIfNeeded();
    ASSERT_EQ(relayed->headers().count(), 3);
    EXPECT_EQ(relayed->headers().valueAt(2), "from relay");
    EXPECT_EQ(relayed->headers().valueAt(1), ours);

    relayed->setReadReceipt(true);
    relayed->addReceivedByZellIfNeeded();
    ASSERT_EQ(relayed->headers().count(), 3);
    EXPECT_EQ(relayed->headers().valueAt(1),
              "by Zell.Mailer (" + platformBuildText() + " Version 1.1 .RR)");
}

// ---- attachment directories, unique names, signature ----

TEST_F(MailMessageTest, AttachmentDirectoryNamesComeFromTheSubject) {
    struct Row {
        const char* subject;
        const char* expected;
    } rows[] = {
        {"Re: hello world!", "/tmp/Re__hello_world.attach"},
        {nullptr, "/tmp/Zellmail.attach"},
        {"  !!! ", "/tmp/Zellmail.attach"},
        {"--==Caf\xe9 list@x.org+1", "/tmp/Caf__list@x_org+1.attach"},
        {"A very long subject line indeed", "/tmp/A_very_long_subject_.attach"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        MailMessage message;
        if (row.subject) message.setHeaderKey("Subject", row.subject);
        EXPECT_EQ(message.makeFilename(std::string("/tmp"), ".attach"), row.expected);
    }
    MailMessage bare;
    EXPECT_EQ(bare.makeFilename(std::nullopt, ""), "Zellmail");
}

TEST_F(MailMessageTest, UniqueAttachmentDirectoriesAreCreatedPrivately) {
    std::string dir = tmp() + "/deep/er";
    MailMessage first, second;
    first.setHeaderKey("Subject", "report");
    second.setHeaderKey("Subject", "report");
    ASSERT_TRUE(first.makeUniqueAttachmentInDirectory(dir));
    ASSERT_TRUE(second.makeUniqueAttachmentInDirectory(dir));
    EXPECT_EQ(*first.attachmentPath(), dir + "/report.attach");
    EXPECT_EQ(first.attachmentName(), "report.attach");
    std::string pid = std::to_string(::getpid());
    EXPECT_TRUE(second.attachmentPath()->starts_with(dir + "/report-" + pid + "-"));
    EXPECT_TRUE(second.attachmentPath()->ends_with(".attach"));
    struct stat st;
    ASSERT_EQ(::stat(first.attachmentPath()->c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(first.isRichBody());

    writeFile("plainfile", "x");
    MailMessage blocked;
    EXPECT_FALSE(blocked.makeUniqueAttachmentInDirectory(tmp() + "/plainfile/sub"));
    EXPECT_FALSE(blocked.attachmentPath());
    EXPECT_EQ(logLines, std::vector<std::string>{
                            "[*** MailMessage Error: Could not create attachment directory " +
                            tmp() + "/plainfile/sub/Zellmail.attach***]\n"});
}

TEST_F(MailMessageTest, UniqueFileNamesKeepTheSuffix) {
    std::string pid = std::to_string(::getpid());
    struct Row {
        const char* name;
        const char* suffix;
    } rows[] = {{"notes.txt", ".txt"}, {".hidden", ""}, {"dir.d/plain", ""}, {"a.tar.Z", ".Z"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = writeFile(row.name, "taken");
        std::string unique = path;
        mkuniquefile(unique);
        std::string stem = path.substr(0, path.size() - std::strlen(row.suffix));
        EXPECT_TRUE(unique.starts_with(stem + "-" + pid + "-")) << unique;
        EXPECT_TRUE(unique.ends_with(row.suffix)) << unique;
        EXPECT_NE(::access(unique.c_str(), F_OK), 0);
    }
    std::string free = tmp() + "/free.txt";
    std::string same = free;
    mkuniquefile(same);
    EXPECT_EQ(same, free);
}

TEST_F(MailMessageTest, SignatureIsAppendedAfterANewline) {
    auto message = withBody("Hello");
    EXPECT_TRUE(message->addSignature());
    EXPECT_EQ(message->stringBody(), "Hello");
    test::spit(home() + "/.signature", "-- \nTest User\n");
    EXPECT_TRUE(message->addSignature());
    EXPECT_EQ(message->stringBody(), "Hello\n-- \nTest User\n");
    MailMessage empty;
    empty.addSignature();
    EXPECT_EQ(empty.stringBody(), "\n-- \nTest User\n");
}

// ---- files and bodies ----

TEST_F(MailMessageTest, LoadsFilesThroughAMapping) {
    std::string path = writeFile("msg.eml", "Subject: file\n\nline one\nline two\n");
    Status status;
    auto message = MailMessage::initFromFile(path, status);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(*message->headerValueForKey("subject"), "file");
    EXPECT_EQ(message->stringBody(), "line one\nline two\n");
    EXPECT_EQ(message->bodyLength(), 18u);

    EXPECT_EQ(MailMessage::initFromFile(tmp() + "/missing.eml", status), nullptr);
    EXPECT_EQ(status.path(), tmp() + "/missing.eml");
    EXPECT_EQ(status.errnum(), ENOENT);
    EXPECT_TRUE(panels->alerts().empty());
}

}  // namespace
}  // namespace quill
