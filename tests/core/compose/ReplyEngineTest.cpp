// Replies, forwards, quoting and restored drafts: the fields derived from the
// shown message, the Cc swap between Reply and Reply All, the wrapped quote.
#include <gtest/gtest.h>

#include <map>

#include "compose/ReplyEngine.h"
#include "compose/quoting.h"
#include "compose/replyfields.h"
#include "message/MailMessage.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"
#include "store/Message.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class FakeSource : public ReplySource {
  public:
    explicit FakeSource(const std::string& raw) {
        header.readMessage(raw);
        ByteSource in(raw);
        message.readFromStream(in);
        shown.replaceSel(raw);
    }
    int curMsg() const override { return index; }
    const Message* msgHeader() const override { return &header; }
    MailMessage* mailMessage() const override { return &message; }
    const TextView& getTextObject() const override { return shown; }
    std::optional<std::string> attachDir() const override { return std::nullopt; }

    int index = 0;
    Message header;
    mutable MailMessage message;
    TextView shown;
};

class FakeTarget : public ReplyTarget {
  public:
    std::string getField(int field) const override {
        auto it = fields.find(field);
        return it == fields.end() ? "" : it->second;
    }
    void setField(int field, const std::string& value) override { fields[field] = value; }
    TextView& text() override { return body; }
    bool isPlainFormat() const override { return plain; }
    bool haveSetFormat() const override { return false; }
    void takeSendFormatFrom(const MailMessage&) override {}
    bool isSpecialDelivery() const override { return false; }
    void textDidPaste() override {}
    void nowEditing() override { edited = true; }
    void bodyDidLoad() override {}
    void offerReplyAll(bool replyAll) override { offersReplyAll = replyAll; }
    void selectField(int) override {}
    bool textHasFocus() const override { return false; }
    void focusText() override {}
    void scrollToSelection() override {}
    void followInOptionsPanel() override {}
    void restoreDraftHook(const MailMessage&) override {}

    std::map<int, std::string> fields;
    TextView body;
    bool plain = true;
    bool edited = false;
    bool offersReplyAll = false;
};

class ReplyEngineTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        store->set("Alternates", "me@home.org");
    }
    Message header(const std::string& raw) {
        Message m;
        m.readMessage(raw);
        return m;
    }
};

TEST_F(ReplyEngineTest, ReplySubjects) {
    const std::string longSubject(2000, 's');
    const struct {
        std::string headers, expected;
    } cases[] = {
        {"Subject: RE:   Lunch\n", "Re: Lunch"},
        {"Subject: Re: Re: Lunch\n", "Re: Re: Lunch"},
        {"Subject: Lunch\n", "Re: Lunch"},
        {"Date: Mon, 4 Mar 2024 10:00:00 +0000\n",
         "Re: Your message of Mon, 4 Mar 2024 10:00:00 +0000"},
        {"From: a@x\n", ""},
        {"Subject: " + longSubject + "\n", "Re: " + longSubject.substr(0, 507)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replySubject(header(c.headers + "\n")), c.expected) << c.headers;
}

TEST_F(ReplyEngineTest, ReferencesKeepTheFirstAndTheLastFifteenIds) {
    std::string twenty;
    for (int i = 1; i <= 20; ++i) twenty += "<" + std::to_string(i) + "@x>" + (i < 20 ? " " : "");
    std::string kept = "<1@x> ";
    for (int i = 7; i <= 20; ++i) kept += "<" + std::to_string(i) + "@x> ";
    EXPECT_EQ(replyReferences(header("References: " + twenty + "\nMessage-Id: <id@x>\n\n")),
              kept + "<id@x>");
    EXPECT_EQ(replyReferences(header("Message-Id: <id@x>\n\n")), "<id@x>");
    EXPECT_EQ(replyReferences(header("Subject: s\n\n")), std::nullopt);
}

TEST_F(ReplyEngineTest, ReplyAddressesLeaveOutTheUserAndDuplicates) {
    Message m =
        header("From: Ann <ann@x>\nTo: me@home.org, Bob <bob@x>, BOB@x\ncc: carl@x, ann@x\n\n");
    EXPECT_EQ(replyToAddresses(m, false), "Ann <ann@x>");
    EXPECT_EQ(replyCcAddresses(m, "Ann <ann@x>", false), "Bob <bob@x>, carl@x");
    EXPECT_EQ(replyCcAddresses(m, "", true), "me@home.org, Bob <bob@x>, carl@x, ann@x");
    EXPECT_EQ(replyToAddresses(header("Reply-To: list@x\nFrom: ann@x\n\n"), false), "list@x");
}

TEST_F(ReplyEngineTest, ReplyToOwnMessageLeavesToEmptyAndReplyAllFillsIt) {
    store->set("ReplyToSelf", "NO");
    FakeSource source("From: me@home.org\nReply-To: me@home.org\nTo: ann@x, bob@x\n\nhi\n");
    FakeTarget target;
    ReplyEngine engine(target, &source, Defaults::shared());
    engine.reply();
    EXPECT_EQ(target.getField(ReplyTarget::kTo), "");
    engine.replyAll();
    EXPECT_EQ(target.getField(ReplyTarget::kTo), "ann@x, bob@x");
    EXPECT_EQ(target.getField(ReplyTarget::kCc), "");
}

TEST_F(ReplyEngineTest, SwitchingBetweenReplyAndReplyAllSwapsOnlyTheDerivedCopies) {
    FakeSource source("From: ann@x\nTo: bob@x\ncc: carl@x\nSubject: plans\n\nhi\n");
    FakeTarget target;
    ReplyEngine engine(target, &source, Defaults::shared());
    engine.reply();
    EXPECT_TRUE(target.offersReplyAll);
    engine.replyAll();
    EXPECT_EQ(target.getField(ReplyTarget::kCc), "bob@x, carl@x");
    EXPECT_FALSE(target.offersReplyAll);
    engine.reply();
    EXPECT_EQ(target.getField(ReplyTarget::kCc), "");
    EXPECT_EQ(target.getField(ReplyTarget::kSubject), "Re: plans");

    target.setField(ReplyTarget::kCc, "typed@x");
    engine.replyAll();
    engine.reply();
    EXPECT_EQ(target.getField(ReplyTarget::kCc), "typed@x");
}

TEST_F(ReplyEngineTest, WrappedQuoteKeepsWithinTheLineLength) {
    const std::string longWord(80, 'w');
    std::string line;
    for (int i = 0; i < 40; ++i) line += "word" + std::to_string(i) + " ";
    std::string out = wrappedQuote(line + "\n\n  indented " + longWord + " tail\n", 68, false);
    size_t start = 0, longest = 0;
    for (size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1) {
        std::string_view piece(out.data() + start, nl - start);
        if (piece.find(longWord) == std::string_view::npos)
            longest = std::max(longest, piece.size());
        else
            EXPECT_EQ(piece, ">" + longWord);
        EXPECT_TRUE(piece.empty() || piece.starts_with(">")) << piece;
    }
    EXPECT_LE(longest, 68u);
    EXPECT_NE(out.find("\n\n>indented\n"), std::string::npos) << out;
    EXPECT_EQ(wrappedQuote("\n", 68, true), ">\n");
}

TEST_F(ReplyEngineTest, WrapAndReplyQuotesTheBodyBehindAnAttribution) {
    store->set("LineLength", "30");
    FakeSource source(
        "From: Ann <ann@x>\nDate: Mon, 4 Mar 2024 10:00:00 +0000\nSubject: s\n\n"
        "one two three four five six seven\n");
    FakeTarget target;
    target.body.replaceSel("mine");
    ReplyEngine(target, &source, Defaults::shared()).forwardAndWrap();
    EXPECT_EQ(target.body.plainText(),
              "On Mar 04, 2024, Ann <ann@x> said:\n"
              ">one two three four five\n>six seven\nmine");
    EXPECT_EQ(target.getField(ReplyTarget::kSubject), "s");
    EXPECT_TRUE(target.edited);
}

TEST_F(ReplyEngineTest, ForwardKeepsATypedSubjectAndAlertsWithoutAMessage) {
    FakeSource source("From: ann@x\nSubject: news\n\nbody\n");
    FakeTarget target;
    target.setField(ReplyTarget::kSubject, "mine");
    ReplyEngine engine(target, &source, Defaults::shared());
    engine.forward();
    EXPECT_EQ(target.getField(ReplyTarget::kSubject), "mine");
    EXPECT_EQ(target.body.plainText(),
              "\n\nBegin forwarded message:\n\nFrom: ann@x\nSubject: news\n\nbody\n");

    source.index = -1;
    panels->answer(0);
    engine.forward();
    panels->answer(0);
    engine.reply();
    ASSERT_EQ(panels->alerts().size(), 2u);
    EXPECT_EQ(panels->alerts()[0].message, "No message to forward");
    EXPECT_EQ(panels->alerts()[1].title, "Reply");
}

TEST_F(ReplyEngineTest, IncludeInPlainFormatPrefixesEveryLine) {
    FakeSource source("Subject: s\n\nfirst line\nsecond\n");
    FakeTarget target;
    store->set("IncludePrefix", ": ");
    ReplyEngine(target, &source, Defaults::shared()).includeMessage();
    EXPECT_EQ(target.body.plainText(), ": Subject: s\n: \n: first line\n: second\n");
}

TEST_F(ReplyEngineTest, RestoringADraftFillsEveryFieldAndClearsAbsentOnes) {
    store->set("UserKey1", "X-Project");
    FakeTarget target;
    target.setField(ReplyTarget::kBcc, "old@x");
    ByteSource in(
        std::string_view("To: ann@x\nSubject: draft\ncc: bob@x\nReply-To: me@x\nReferences: <1@x>\n"
                         "X-Project: quill\n\nthe body\n"));
    MailMessage draft;
    draft.readFromStream(in);
    ReplyEngine(target, nullptr, Defaults::shared()).restoreDraftFromMessage(draft);
    const std::map<int, std::string> expected = {
        {ReplyTarget::kTo, "ann@x"},         {ReplyTarget::kSubject, "draft"},
        {ReplyTarget::kCc, "bob@x"},         {ReplyTarget::kBcc, ""},
        {ReplyTarget::kReplyTo, "me@x"},     {ReplyTarget::kReferences, "<1@x>"},
        {ReplyTarget::kUserField1, "quill"}, {ReplyTarget::kUserField2, ""},
    };
    EXPECT_EQ(target.fields, expected);
    EXPECT_EQ(target.body.plainText(), "the body\n");
}

}  // namespace
}  // namespace quill
