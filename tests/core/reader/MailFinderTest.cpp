// Find in a mailbox: the expression built from the panel's text and options,
// the fast literal search against a plain one, and searches of a real
// mailbox's list (scopes, wrapping, Find All, interruption, display delay,
// focus, unread rows).
#include <gmock/gmock.h>
#include <sys/stat.h>

#include "app/MailDriver.h"
#include "platform/Localized.h"
#include "platform/RunLoop.h"
#include "reader/FindExpression.h"
#include "reader/MailFinder.h"
#include "reader/MailReader.h"
#include "reader/literalsearch.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using ::testing::ElementsAre;

TEST(FindExpressionTest, LiteralAndRegularExpressionMatching) {
    struct Case {
        const char* text;
        bool regExpr, ignoreCase;
        const char* haystack;
        bool matches;
    } cases[] = {
        {"a.b", false, true, "see a.b here", true},
        {"a.b", false, true, "see axb here", false},
        {"a.b", true, true, "see axb here", true},
        {"HELLO", false, true, "say hello", true},
        {"HELLO", false, false, "say hello", false},
        {"^x$", false, true, "a ^x$ b", true},
        {"[\\", false, true, "x[\\y", true},
        {"foo", false, true, "fo\no", false},
        {"a.b", true, true, "a\nb", false},  // a match keeps to one line
        {"^b", true, true, "a\nb", true},
        {"\xC9t\xE9", false, true, "\xC9T\xE9", true},  // only ASCII letters fold
        {"\xE9", false, true, "\xC9", false},
    };
    for (const Case& c : cases) {
        auto e = FindExpression::compile({c.text, c.ignoreCase, c.regExpr, false});
        ASSERT_TRUE(e) << c.text;
        EXPECT_EQ(e->matches(c.haystack), c.matches) << c.text << " in " << c.haystack;
    }
}

TEST(FindExpressionTest, NothingToSearchForAndTheEscapedCopy) {
    EXPECT_FALSE(FindExpression::compile({"", true, false, false}));
    EXPECT_FALSE(FindExpression::compile({"[", true, true, false}));
    EXPECT_EQ(FindExpression::escaped("^.*$[\\x"), "\\^\\.\\*\\$\\[\\\\x");
    // The copy stops at 1022 characters, an escaped one counting two.
    EXPECT_EQ(FindExpression::escapedLength(std::string(1100, 'x')), 1022u);
    EXPECT_EQ(FindExpression::escapedLength(std::string(600, '.')), 511u);
    auto cut = FindExpression::compile({std::string(1100, 'x'), true, false, false});
    EXPECT_TRUE(cut->matches(std::string(1022, 'x')));
}

// The sixteen-at-a-time search must agree with a plain one wherever the
// needle sits, the haystack's tail included.
TEST(LiteralSearchTest, AgreesWithPlainSearchAtEveryPosition) {
    for (const std::string& needle :
         std::vector<std::string>{"q", "qZ", "Needle", std::string(20, 'k') + "Q"}) {
        std::string lowered = literalNeedle(needle, true);
        for (std::size_t length = needle.size(); length < 70; length += 7) {
            for (std::size_t at = 0; at + needle.size() <= length; ++at) {
                std::string hay(length, '@');  // '@' | 0x20 is '`', a false candidate only
                hay.replace(at, needle.size(), needle);
                ASSERT_EQ(findLiteral(hay, lowered, true), at) << needle << " " << length;
                std::string upper = hay;
                for (char& c : upper) c = static_cast<char>(std::toupper(c));
                ASSERT_EQ(findLiteral(upper, needle, false), upper.find(needle) == std::string::npos
                                                                 ? std::string_view::npos
                                                                 : upper.find(needle));
            }
            EXPECT_EQ(findLiteral(std::string(length, '@'), lowered, true), std::string_view::npos);
        }
    }
}

struct View : MailReaderView {
    void listChanged() override { ++lists; }
    void scrollToRow(int row) override {
        scrolled = row;
        if (onScroll) onScroll();
    }
    void messageChanged() override { ++messages; }
    void setStatusText(const std::string&) override {}
    void setStatusLineVisible(bool) override {}
    void setTitle(const std::string&) override {}
    void orderFront() override {}
    void closeWindow() override {}
    bool windowFrame(tocformat::WindowFrame&, float&) const override { return false; }
    void setMessageSummary(const std::string&, const std::string&) override {}
    void setMiniature(const std::string&) override {}
    int lists = 0, messages = 0, scrolled = -1;
    std::function<void()> onScroll;
};

std::string message(int n, const std::string& subject, const std::string& body) {
    return "From sender@example.org Mon Mar  4 10:00:00 2024\nFrom: sender@example.org\n"
           "Subject: " +
           subject + "\nDate: Mon, 4 Mar 2024 10:00:00 +0000\nX-Seq: " + std::to_string(n) +
           "\n\n" + body + "\n\n";
}

class MailFinderTest : public QuillTest {
  protected:
    void open(const std::vector<std::pair<std::string, std::string>>& messages) {
        std::string path = mailDir() + "/Find.mbox";
        ::mkdir(path.c_str(), 0700);
        std::string mbox;
        for (std::size_t i = 0; i < messages.size(); ++i)
            mbox += message(int(i), messages[i].first, messages[i].second);
        writeFile("home/Mail/Find.mbox/mbox", mbox);
        reader = MailReader::open(path, MailDriver::shared().mailContext(), MailDriver::shared());
        ASSERT_TRUE(reader);
        reader->setView(&view);
        finder = std::make_unique<MailFinder>(*reader);
    }
    void TearDown() override {
        finder.reset();
        reader.reset();
        QuillTest::TearDown();
    }
    // Runs a search to its end; answers the selected rows.
    std::set<int> run(FindOptions options, bool forward, bool all, bool focus = false) {
        if (finder->begin(options, forward, all, focus)) finder->finish();
        return reader->matrix().selectedRows();
    }
    static FindOptions messages(const char* text) { return {text, true, false, true}; }
    static FindOptions summaries(const char* text) { return {text, true, false, false}; }

    std::unique_ptr<MailReader> reader;
    std::unique_ptr<MailFinder> finder;
    View view;
};

TEST_F(MailFinderTest, FindAllCountsSelectsAndNamesTheCountByNumber) {
    setTranslator([](const std::string& table, const std::string& text) {
        return table == kUIPluralTable ? std::optional(text + " (many)") : std::nullopt;
    });
    open({{"one", "plain"},
          {"two", "the word Kiwi"},
          {"three", "x"},
          {"four", "kiwi!"},
          {"five", "y"}});
    Defaults::shared().setFoundDisplayDelay(-1);
    EXPECT_EQ(run(messages("KIWI"), true, true), (std::set<int>{1, 3}));
    EXPECT_EQ(finder->status(), "2 found (many)");
    EXPECT_EQ(view.scrolled, 1);
    EXPECT_FALSE(finder->failed());
    EXPECT_EQ(run(messages("word"), true, true), (std::set<int>{1}));
    EXPECT_EQ(finder->status(), "1 found");
    setTranslator(nullptr);
}

TEST_F(MailFinderTest, SingleFindsWrapAndGoBothWays) {
    open({{"apple", ""}, {"pear", ""}, {"apple pie", ""}, {"plum", ""}});
    Defaults::shared().setFoundDisplayDelay(-1);
    struct Case {
        int selected;
        bool forward;
        std::set<int> found;
    } cases[] = {
        {3, true, {0}},   // from the last row on to the first
        {0, true, {2}},   // the selected row itself is not searched again
        {0, false, {2}},  // backwards wraps to the end
        {2, false, {0}}, {-1, true, {0}},
    };
    for (const Case& c : cases) {
        reader->matrix().clearSelection();
        if (c.selected >= 0) reader->matrix().selectRow(c.selected);
        EXPECT_EQ(run(summaries("apple"), c.forward, false), c.found) << c.selected;
    }
    // Backwards without a selection begins at the last row.
    reader->matrix().clearSelection();
    EXPECT_EQ(run(summaries("pl"), false, false), (std::set<int>{3}));
    // Only the selected row matches: a single find finds nothing else.
    reader->matrix().selectRow(1);
    run(summaries("pear"), true, false);
    EXPECT_EQ(finder->status(), "Not found");
    EXPECT_TRUE(finder->failed());
}

TEST_F(MailFinderTest, SummariesMatchTheRowNumberTheUnreadMarkAndTheDate) {
    std::vector<std::pair<std::string, std::string>> box;
    for (int i = 0; i < 12; ++i) box.push_back({"note", "number 12 inside"});
    open(box);
    Defaults::shared().setFoundDisplayDelay(-1);
    EXPECT_EQ(run(summaries("12"), true, true), (std::set<int>{11}));
    for (int row : {2, 5}) reader->matrix().cellAtRow(row).setRead(false);
    EXPECT_EQ(run(summaries("\xB7"), true, true), (std::set<int>{2, 5}));
    EXPECT_EQ(run(summaries("Mar 4"), true, true).size(), 12u);
    EXPECT_EQ(run(messages("12"), true, true).size(), 12u);
}

TEST_F(MailFinderTest, NothingToSearchForAndInterruption) {
    open({{"a", "kiwi"}, {"b", "kiwi"}, {"c", "kiwi"}});
    int beeps = panels->beeps();
    EXPECT_FALSE(finder->begin(summaries(""), true, false, false));
    EXPECT_EQ(finder->status(), "No\ntext");
    EXPECT_EQ(panels->beeps(), beeps + 1);

    ASSERT_TRUE(finder->begin(messages("kiwi"), true, false, false));
    finder->interrupt();
    finder->finish();
    EXPECT_EQ(finder->status(), "Interrupted");
    EXPECT_TRUE(finder->failed());

    // Interrupted after the first match of a Find All: the match stays selected.
    view.onScroll = [this] { finder->interrupt(); };
    EXPECT_EQ(run(messages("kiwi"), true, true), (std::set<int>{0}));
    EXPECT_EQ(finder->status(), "Interrupted\n(1 found)");
    EXPECT_TRUE(finder->failed());
}

TEST_F(MailFinderTest, FoundMessageShowsAfterTheDelayUnlessItIsNegative) {
    open({{"a", ""}, {"kiwi", ""}});
    RunLoop& loop = reader->mailbox().context().runLoop;
    Defaults::shared().setFoundDisplayDelay(-1);
    run(summaries("kiwi"), true, false);
    int shown = view.messages;
    loop.runUntil([] { return false; }, std::chrono::milliseconds(30));
    EXPECT_EQ(view.messages, shown);
    Defaults::shared().setFoundDisplayDelay(0);
    reader->matrix().clearSelection();
    run(summaries("kiwi"), true, false);
    loop.runUntil([&] { return view.messages > shown; }, std::chrono::milliseconds(500));
    EXPECT_GT(view.messages, shown);
}

TEST_F(MailFinderTest, ModifierNarrowsToTheMatchesAndUnreadRowsAreSelected) {
    open({{"kiwi", ""}, {"b", ""}, {"kiwi", ""}});
    Defaults::shared().setFoundDisplayDelay(-1);
    run(summaries("kiwi"), true, true, true);
    EXPECT_TRUE(reader->matrix().isFocused());
    EXPECT_EQ(reader->matrix().focusCount(), 2u);
    reader->unfocus();

    for (int row : {0, 2}) reader->matrix().cellAtRow(row).setRead(false);
    EXPECT_TRUE(MailFinder::findUnread(*reader, true));
    EXPECT_EQ(reader->matrix().selectedRows(), (std::set<int>{0, 2}));
    EXPECT_TRUE(MailFinder::findUnread(*reader, false));
    EXPECT_EQ(reader->matrix().selectedRows(), (std::set<int>{0}));
}

}  // namespace
}  // namespace quill
