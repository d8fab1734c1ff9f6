// The header block: parsing, the bottom-up order, lookups, folding, the
// envelope line and rendering with the display filter.
#include <gtest/gtest.h>

#include <regex>

#include "message/MailHeaders.h"
#include "message/MimeParameters.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class MailHeadersTest : public test::QuillTest {
  protected:
    void TearDown() override {
        MailHeaders::setForceFromSpaceLine(false);
        MailHeaders::setFilteredHeaders(nullptr);
        test::QuillTest::TearDown();
    }

    static std::unique_ptr<MailHeaders> parse(std::string_view text) {
        ByteSource source(text);
        return MailHeaders::initFromStream(source);
    }
    static std::string write(const MailHeaders& block) {
        ByteSink sink;
        EXPECT_TRUE(block.writeToStream(sink));
        return sink.take();
    }
    static std::string folded(std::string_view key, std::string_view value) {
        ByteSink sink;
        EXPECT_TRUE(MailHeaders::writeHeaderKey(key, value, sink));
        return sink.take();
    }
    // Keys and values in message order, one "key=value" a line.
    static std::string pairs(const MailHeaders& block) {
        std::string out;
        for (int i = block.count() - 1; i >= 0; --i)
            out += std::string(block.keyAt(i)) + "=" + block.valueAt(i) + "\n";
        return out;
    }
    // "Thu Mar 13 10:02:07 1997": the 24 characters of a ctime text.
    static bool looksLikeCtime(const std::string& t) {
        static const std::regex shape(
            "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}");
        return std::regex_match(t, shape);
    }
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        for (size_t start = 0; start < text.size();) {
            size_t nl = text.find('\n', start);
            out.push_back(text.substr(start, nl - start));
            start = nl + 1;
        }
        return out;
    }
};

TEST_F(MailHeadersTest, ParsingSplitsKeyAndValueAsWritten) {
    ByteSource source(
        "From joe@x.org Thu Mar 13 10:02:07 1997\nFrom: Joe <joe@x.org>\n"
        "X-Spaced : kept  \nX-Empty:\nX-CR: windows\r\n\nbody");
    auto block = MailHeaders::initFromStream(source);
    EXPECT_EQ(pairs(*block),
              "From =joe@x.org Thu Mar 13 10:02:07 1997\nFrom=Joe <joe@x.org>\n"
              "X-Spaced =kept  \nX-Empty=\nX-CR=windows\r\n");
    EXPECT_EQ(source.remaining(), "body");  // the empty line is consumed
    EXPECT_TRUE(logLines.empty());
}

TEST_F(MailHeadersTest, MalformedLinesAreReportedAndDropped) {
    auto block = parse(" leading blank\nSubject: s\nno colon here\n\n");
    EXPECT_EQ(pairs(*block), "Subject=s\n");
    EXPECT_EQ(logLines, (std::vector<std::string>{
                            "[MailHeaders Warning: Malformed header line \" leading blank\"]\n",
                            "[MailHeaders Warning: Malformed header line \"no colon here\"]\n"}));
}

TEST_F(MailHeadersTest, PhysicalLinesLongerThan1023BytesArriveInPieces) {
    std::string longLine = "X-Long: " + std::string(1015, 'a') + "b: rest\n";
    auto block = parse(longLine + "Subject: after\n\n");
    // The first 1023 bytes are a header; the rest is a line of its own.
    EXPECT_EQ(pairs(*block), "X-Long=" + std::string(1015, 'a') + "\nb=rest\nSubject=after\n");
}

TEST_F(MailHeadersTest, LoneCarriageReturnEndsTheBlock) {
    ByteSource source("Subject: s\r\n\r\nbody\r\n");
    auto block = MailHeaders::initFromStream(source);
    EXPECT_EQ(pairs(*block), "Subject=s\r\n");
    EXPECT_EQ(source.remaining(), "body\r\n");
}

TEST_F(MailHeadersTest, StoredBottomUpAndLookupsFindTheLowestEntry) {
    auto block = parse("Received: first\nSubject: s\nReceived: second\n\n");
    EXPECT_EQ(*block->valueForKey("received"), "second");
    EXPECT_EQ(block->indexOfKey("SUBJECT"), 1);
    EXPECT_EQ(block->valueForKey("missing"), nullptr);

    block->addKey("Received", "newest");
    block->insertKey("X-Below", "b", 1);  // written directly below "Subject"
    EXPECT_EQ(write(*block),
              "Received: newest\nReceived: first\nSubject: s\nX-Below: b\nReceived: second\n");

    block->removeKey("Received");
    EXPECT_EQ(block->safeValueForKey("Received"), "first");
}

TEST_F(MailHeadersTest, SetKeyReplacesAddsOrRemovesOneEntry) {
    auto block = parse("A: 1\nB: 2\nA: 3\n\n");
    block->setKey("a", "x");
    EXPECT_EQ(pairs(*block), "A=1\nB=2\nA=x\n");
    block->setKey("C", "new");
    EXPECT_EQ(pairs(*block), "C=new\nA=1\nB=2\nA=x\n");
    block->setKey("B", std::nullopt);
    EXPECT_EQ(pairs(*block), "C=new\nA=1\nA=x\n");
    block->setKey("missing", std::nullopt);
    EXPECT_EQ(block->count(), 3);
}

TEST_F(MailHeadersTest, ReadingThenWritingReproducesOrderAndRefolds) {
    std::string input =
        "From joe@x.org Thu Mar 13 10:02:07 1997\n"
        "Received: from a by b;\n\tThu, 13 Mar 1997 10:02:07 +0100\n"
        "To: one@example.org, two@example.org, three@example.org, four@example.org,\n"
        " five@example.org\n"
        "Subject: short\n\n";
    auto block = parse(input);
    EXPECT_EQ(write(*block),
              "From joe@x.org Thu Mar 13 10:02:07 1997\n"
              "Received: from a by b; Thu, 13 Mar 1997 10:02:07 +0100\n"
              "To: one@example.org, two@example.org, three@example.org, four@example.org,\n"
              "\tfive@example.org\n"
              "Subject: short\n");
    EXPECT_EQ(pairs(*parse(write(*block) + "\n")), pairs(*block));
}

TEST_F(MailHeadersTest, FoldingBreaksAtTheLastBlankBeforeColumn78) {
    std::string words;
    for (int i = 0; i < 60; ++i) words += "word" + std::to_string(i) + " ";
    std::string out = folded("Subject", words + "   ");
    for (const std::string& line : lines(out)) EXPECT_LE(line.size(), 78u) << line;
    EXPECT_TRUE(out.starts_with(
        "Subject: word0 word1 word2 word3 word4 word5 word6 word7 word8 word9 word10\n\tword11 "));
    EXPECT_TRUE(out.ends_with("word59    \n"));  // a last piece that fits is written as it is
    // A break lands exactly on the margin when the blank is at column 79.
    std::string exact = std::string(69, 'x') + " tail";
    EXPECT_EQ(folded("Subject", exact), "Subject: " + std::string(69, 'x') + "\n\ttail\n");
}

TEST_F(MailHeadersTest, UnbreakableWordsRunPastTheMargin) {
    std::string word(120, 'w');
    EXPECT_EQ(folded("X-Id", word), "X-Id: " + word + "\n");
    EXPECT_EQ(folded("X-Id", "a " + word + " b"), "X-Id: a\n\t" + word + "\n\tb\n");
    EXPECT_EQ(folded("X-Empty", ""), "X-Empty: \n");
    // A key that fills the line alone: the value breaks at its first blank.
    std::string key(80, 'K');
    EXPECT_EQ(folded(key, "one two"), key + ": one\n\ttwo\n");
}

TEST_F(MailHeadersTest, EnvelopeEntryFollowsTheSwitches) {
    auto block = parse("Subject: s\n\n");
    EXPECT_EQ(write(*block), "Subject: s\n");

    MailHeaders::setForceFromSpaceLine(true);
    std::string envelope = "From " + MailHeaders::fromSpaceUser() + " ";
    std::string forced = write(*block);
    ASSERT_TRUE(forced.starts_with(envelope)) << forced;
    EXPECT_TRUE(looksLikeCtime(forced.substr(envelope.size(), 24))) << forced;
    EXPECT_EQ(forced.substr(envelope.size() + 24), "\nSubject: s\n");
    MailHeaders::setForceFromSpaceLine(false);

    block->setFromSpace(true);
    ASSERT_TRUE(block->hasFromSpace());
    EXPECT_EQ(block->keyAt(block->count() - 1), "From ");
    const std::string& added = block->valueAt(1);
    ASSERT_TRUE(added.starts_with(MailHeaders::fromSpaceUser() + " "));
    EXPECT_TRUE(looksLikeCtime(added.substr(MailHeaders::fromSpaceUser().size() + 1))) << added;

    auto stored = parse("From old@x Mon Jan  1 00:00:00 1990\nSubject: s\n\n");
    stored->setFromSpace(true);
    EXPECT_EQ(write(*stored), "From old@x Mon Jan  1 00:00:00 1990\nSubject: s\n");
    stored->setFromSpace(false);
    EXPECT_EQ(write(*stored), "Subject: s\n");
}

TEST_F(MailHeadersTest, RenderingHidesFilteredHeaders) {
    auto block = parse("From joe Thu Mar 13 10:02:07 1997\nReceived: r\nSubject: s\nTo: t\n\n");
    auto render = [&] {
        std::string out;
        block->replaceSelInText([&](std::string_view text, bool bold) {
            out += bold ? "*" + std::string(text) + "*" : std::string(text);
        });
        return out;
    };
    EXPECT_EQ(render(),
              "*From *joe Thu Mar 13 10:02:07 1997\n*Received**: *r\n*Subject**: *s\n"
              "*To**: *t\n");

    auto filter = std::make_shared<MailHeaders>();
    filter->addKey("From ", "");
    filter->addKey("received", "");
    MailHeaders::setFilteredHeaders(filter);
    EXPECT_EQ(render(), "*Subject**: *s\n*To**: *t\n");
}

TEST_F(MailHeadersTest, FilteringASelectionDeletesLinesFromTheEnd) {
    EXPECT_TRUE(MailHeaders::filterSelHeaders("Received: x\n").empty());  // no filter installed
    auto filter = std::make_shared<MimeParameters>();
    filter->addKey("From ", "");
    filter->addKey("Received", "");
    MailHeaders::setFilteredHeaders(filter);
    std::string text = "From joe Thu\nSubject: s\nreceived: r\nFrom: me\nReceived: last";
    auto doomed = MailHeaders::filterSelHeaders(text);
    ASSERT_EQ(doomed.size(), 3u);
    for (auto [offset, length] : doomed) text.erase(offset, length);
    EXPECT_EQ(text, "Subject: s\nFrom: me\n");
}

TEST_F(MailHeadersTest, CorpusBlocksSurviveAWriteAndReread) {
    for (const char* name : {"mimekit/issue358-outlook.eml", "mime-tools/ak-0696.eml",
                             "mimekit/stack-overflow-many-encoded-words.eml"}) {
        SCOPED_TRACE(name);
        auto path = test::corpusFile(name);
        if (!path) {
            GTEST_SKIP() << "corpus absent";
        }
        std::string text = test::slurp(*path);
        auto block = parse(text);
        ASSERT_GT(block->count(), 3);
        std::string written = write(*block);
        for (const std::string& line : lines(written)) {
            if (line.size() <= 78 || line.starts_with("From ")) continue;
            size_t valueStart = line.starts_with("\t") ? 1 : line.find(": ") + 2;
            EXPECT_EQ(line.find_first_of(" \t", valueStart), std::string::npos) << line;
        }
        EXPECT_EQ(pairs(*parse(written + "\n")), pairs(*block));
    }
}

// 900 KB of continuation lines join into one value, each with one blank.
TEST_F(MailHeadersTest, ManyContinuationLinesJoinInOnePass) {
    std::string block = "X-Long: start\n";
    for (int i = 0; i < 300000; ++i) block += " a\n";
    block += "\nbody";
    ByteSource stream(block);
    auto headers = MailHeaders::initFromStream(stream);
    ASSERT_TRUE(headers);
    std::string expected = "start";
    for (int i = 0; i < 300000; ++i) expected += " a";
    EXPECT_EQ(headers->safeValueForKey("X-Long"), expected);
    EXPECT_EQ(stream.readRest(), "body");
}

}  // namespace
}  // namespace quill
