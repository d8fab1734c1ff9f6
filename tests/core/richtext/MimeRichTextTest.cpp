// text/enriched and text/richtext into formatted text: the runs each input
// gives, the line-end rules of the two subtypes, and the diagnostics.
#include <gmock/gmock.h>

#include "richtext/MimeRichText.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using ::testing::ElementsAre;

class MimeRichTextTest : public QuillTest {
  protected:
    std::string enriched(std::string_view input) {
        return view.readMimeEnriched(input).richText().describe();
    }
    std::string richtext(std::string_view input) {
        return view.readMimeRichText(input).richText().describe();
    }
    static std::string warning(const std::string& message) {
        return "[MimeRichText Warning: " + message + "]\n";
    }

    MimeRichText view;
};

struct Golden {
    const char* name;
    const char* input;
    const char* expected;
};

const Golden kEnriched[] = {
    {"one-newline-joins-with-a-blank", "Hello\nworld", "Hello world"},
    {"two-newlines-give-one-break", "a\n\nb", "a\nb"},
    {"three-newlines-give-two-breaks", "a\n\n\nb", "a\n\nb"},
    {"newline-before-command-vanishes", "a\n<bold>b</bold>", "a{b|b}"},
    {"double-lt-is-a-lt", "x << y <lt>", "x < y <"},
    {"nested-traits", "<bold>B<italic>BI</italic></bold> plain", "{b|B}{b i|BI} plain"},
    {"underline", "<underline>u</underline>", "{u|u}"},
    {"names-in-any-case", "<BOLD>x</Bold>", "{b|x}"},
    {"sizes", "<bigger>Big</bigger><smaller>small</smaller>", "{s14|Big}{s10|small}"},
    {"sizes-have-no-bound", "<smaller><smaller><smaller>t", "{s6|t}"},
    {"baseline", "H<subscript>2</subscript>O x<superscript>2</superscript>", "H{-4|2}O x{+4|2}"},
    {"excerpt-is-italic", "<excerpt>quoted</excerpt> said", "{i|quoted} said"},
    {"centred-paragraph-then-left", "<center>Title</center>\n\nBody", "<center>Title\nBody"},
    {"flushright", "<flushright>r</flushright>", "<right>r"},
    {"end-of-indent-swallows-one-break", "<indent>Quote</indent>\n\nNext",
     "<left fi36 li36>Quote\nNext"},
    {"outdent", "<outdent>Out</outdent>", "<left fi-36 li-36>Out\n"},
    {"paragraph-breaks-twice-at-both-ends", "a<paragraph>b</paragraph>c", "a\n\nb\n\nc"},
    {"form-feed", "a<np>b", "a\fb"},
    {"nofill-keeps-every-newline", "<nofill>a\nb\n\nc</nofill>", "a\nb\n\nc"},
    {"comment-hides-text-but-runs-commands", "<comment>hidden<bold></comment>shown</bold>",
     "{b|shown}"},
    {"known-commands-without-effect", "<fixed><heading>f</heading></fixed>", "f"},
    {"crlf-is-one-newline", "a\r\nb\r\n\r\nc", "a b\nc"},
    {"unterminated-command-runs", "x<bold", "x"},
    {"end-restores-the-saved-traits-whatever-it-names", "<bold>b<italic>bi</bold>b</italic>n",
     "{b|b}{b i|bi}{b|b}n"},
    {"indent-inside-a-paragraph-keeps-its-format", "a<bold><indent>bc", "a{b|bc}"},
};

TEST_F(MimeRichTextTest, EnrichedGivesTheExpectedRuns) {
    for (const Golden& row : kEnriched) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(enriched(row.input), row.expected);
    }
}

const Golden kRichText[] = {
    {"newline-between-words-is-a-blank", "one\ntwo", "one two"},
    {"newline-after-white-space-is-dropped", "one \ntwo", "one two"},
    {"newlines-never-break", "a\n\n\nb", "a b"},
    {"nl-breaks-and-eats-the-data-newline", "a<nl>\nb", "a\nb"},
    {"lt-command", "a<lt>b", "a<b"},
    {"blank-takes-the-current-format", "x\n<bold>y</bold>", "x{b| y}"},
    {"paragraph", "a<paragraph>b</paragraph>", "a\n\nb\n\n"},
    {"leading-newline-adds-nothing", "\nstart", "start"},
};

TEST_F(MimeRichTextTest, RichTextGivesTheExpectedRuns) {
    for (const Golden& row : kRichText) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(richtext(row.input), row.expected);
    }
}

TEST_F(MimeRichTextTest, CorpusRichTextPartReads) {
    auto path = test::corpusFile("mime-tools/multi-nested.eml");
    if (!path) GTEST_SKIP() << "corpus absent";
    std::optional<std::string> message = test::slurp(*path);
    size_t header = message->find("Content-type: text/richtext\n\n");
    ASSERT_NE(header, std::string::npos);
    size_t start = header + std::string("Content-type: text/richtext\n\n").size();
    size_t end = message->find("\n--unique-boundary-1", start);
    EXPECT_EQ(richtext(message->substr(start, end - start)),
              "This is {b|part 4 of the outer message}{s10| as defined in RFC1341}\n\n"
              "Isn't it {s16|cool?}");
    EXPECT_TRUE(logLines.empty());
}

TEST_F(MimeRichTextTest, ReadingAgainReplacesTheOldContents) {
    enriched("<bold>first</bold>");
    EXPECT_EQ(enriched("second"), "second");
    EXPECT_EQ(view.margins(), (Margins{6.0f, 6.0f, 0.0f, 0.0f}));
}

TEST_F(MimeRichTextTest, AlignmentMismatchIsADataErrorAndKeepsTheOpenAlignment) {
    EXPECT_EQ(enriched("<flushleft>x</center>y"), "xy");
    EXPECT_THAT(logLines, ElementsAre("[*** MimeRichText Error: Data error: found </center>, "
                                      "expected </flushleft>***]\n"));
    EXPECT_EQ(view.alignment(), kAlignLeft);
    logLines.clear();
    EXPECT_EQ(enriched("<flushright><center>c</flushright>x\n\ny"), "<center>cx\n<center>y");
    EXPECT_EQ(view.alignment(), kAlignCenter);
}

// Unmatched ends, unknown commands (names cut to forty characters), hidden
// parameter text and a full font stack are reported, and reading goes on.
TEST_F(MimeRichTextTest, DiagnosedInputStillReads) {
    std::string opens, ends;
    for (int i = 0; i < 101; ++i) opens += "<bold>", ends += "</bold>";
    const std::string forty(40, 'a');
    struct Row {
        std::string input;
        const char* runs;
        std::vector<std::string> warnings;
    };
    const Row rows[] = {
        {"</bold>a</flushleft><foo>b</foo></indent></excerpt>",
         "ab\n",
         {"Ignoring unmatched </bold> command", "Ignoring unmatched </flushleft> command",
          "Skipping unrecognized command: <foo>", "Skipping unrecognized command: </foo>",
          "Ignoring unmatched </indent> command", "Ignoring unmatched </excerpt> command"}},
        {"<x-color><param>red</param>text</x-color>",
         "text",
         {"Skipping unrecognized command: <x-color>", "Skipping unrecognized command: </x-color>"}},
        {"<" + forty + "bcdef>x", "x", {"Skipping unrecognized command: <" + forty + ">"}},
        {opens + "x" + ends + "y",
         "{b|x}y",
         {"Internal stack overflow, ignoring <bold> command",
          "Ignoring unmatched </bold> command"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.input.substr(0, 50));
        logLines.clear();
        EXPECT_EQ(enriched(row.input), row.runs);
        std::vector<std::string> expected;
        for (const std::string& w : row.warnings) expected.push_back(warning(w));
        EXPECT_EQ(logLines, expected);
    }
}

// Known names show in the diagnostics above; unknown ones are named by number.
TEST_F(MimeRichTextTest, NamesOfTraitsAndAlignments) {
    EXPECT_EQ(MimeRichText::fontStyleName(4), "font-style-4\n");
    EXPECT_EQ(MimeRichText::justificationStringFor(7), "justification-type-7");
    EXPECT_THAT(logLines,
                ElementsAre("[*** MimeRichText Error: Internal error: Unknown justification "
                            "type 7***]\n"));
}

// A million commands read in one pass; each unmatched end is one diagnostic.
TEST_F(MimeRichTextTest, AMillionCommandsAreReadWhole) {
    std::string input;
    for (int i = 0; i < 500000; ++i) input += "<bold>x</bold>";
    view.readMimeEnriched(input);
    EXPECT_EQ(view.plainText(), std::string(500000, 'x'));
    EXPECT_EQ(view.richText().runs().size(), 1u);
}

}  // namespace
}  // namespace quill
