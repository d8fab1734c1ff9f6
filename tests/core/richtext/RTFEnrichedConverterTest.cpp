// The enriched writer: commands emitted just before the text that needs
// them, sizes in steps, alignment, nesting repaired after a pop, line
// breaks, skipped tables, escapes, and attachment groups handed over.
#include <gtest/gtest.h>

#include "richtext/RTFEnrichedConverter.h"
#include "richtext/TextView.h"

namespace quill {
namespace {

std::string enriched(std::string_view rtf, RTFEnrichedConverter::Delegate* delegate = nullptr) {
    ByteSource input(rtf);
    std::string out;
    RTFEnrichedConverter converter;
    converter.setDelegate(delegate);
    converter.convertFrom(input, out);
    return out;
}

TEST(RTFEnrichedConverterTest, CommandsFollowTheText) {
    EXPECT_EQ(enriched("{\\b bold\\b0  word}"), "<bold>bold</bold> word");
    EXPECT_EQ(enriched("{a <b> c}"), "a <<b> c");
    EXPECT_EQ(enriched("{\\i a\\b b\\i0 c}"), "<italic>a<bold>b</bold></italic><bold>c</bold>");
    EXPECT_EQ(enriched("{\\ul u\\ulnone  v}"), "<underline>u</underline> v");
    EXPECT_EQ(enriched("{\\b a{\\i b}c}"), "<bold>a<italic>b</italic>c</bold>");
    EXPECT_EQ(enriched("no group"), "");
}

TEST(RTFEnrichedConverterTest, SizesInStepsOfTwoPoints) {
    EXPECT_EQ(enriched("{\\fs28 x}"), "<bigger>x</bigger>");
    EXPECT_EQ(enriched("{\\fs26 x}"), "x");
    EXPECT_EQ(enriched("{\\fs20 x}"), "<smaller>x</smaller>");
    EXPECT_EQ(enriched("{\\fs32 a\\fs24 b}"), "<bigger><bigger>a</bigger></bigger>b");
    EXPECT_EQ(enriched("{\\fs16 a\\fs28 b}"),
              "<smaller><smaller>a</smaller></smaller><bigger>b</bigger>");
}

TEST(RTFEnrichedConverterTest, AlignmentAndParagraphReset) {
    EXPECT_EQ(enriched("{\\qc one\\\n\\qr two}"),
              "<center>one\n\n</center><flushright>two</flushright>");
    EXPECT_EQ(enriched("{\\b\\i\\ul\\fs28\\qc a\\pard b}"),
              "<center><bold><italic><underline><bigger>a</bigger></underline></italic></bold>"
              "</center>b");
}

TEST(RTFEnrichedConverterTest, LineBreaks) {
    EXPECT_EQ(enriched("{a\\\n\\\nb}"), "a\n\n\nb");
    EXPECT_EQ(enriched("{\n\nx}"), "x");
    EXPECT_EQ(enriched("{\\\nx}"), "\nx");
    EXPECT_EQ(enriched("{a\n\nb}"), "a\nb");
}

TEST(RTFEnrichedConverterTest, TablesSkippedAndEscapesKept) {
    EXPECT_EQ(enriched("{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\fs24 x}"), "x");
    EXPECT_EQ(enriched("{caf\\'e9 \\{1\\} a\\\\b \\u150?x}"), "caf\xE9 {1} a\\b \x96x");
}

TEST(RTFEnrichedConverterTest, WholeDocumentFromTheWriter) {
    TextView view;
    view.replaceSel("Na\xEFve ");
    view.setFontTraits(kItalicTrait);
    view.replaceSel("text");
    view.setFontTraits(0);
    view.replaceSel("\nnext line\n");
    // A line break does not bring the commands in line; the next text does.
    EXPECT_EQ(enriched(view.rtf()),
              "<flushleft>Na\xEFve <italic>text\n\n</italic>next line\n\n"
              "</flushleft>");
}

class Recorder : public RTFEnrichedConverter::Delegate {
  public:
    bool rtfCommand(std::string_view word, int, ByteSource& input, std::string& output) override {
        calls.push_back(std::string(word) + ":" + output);
        output.clear();
        std::string_view rest = input.remaining();
        input.seek(input.position() + rest.find('}'));
        return word == "ZellGraphic";
    }
    std::vector<std::string> calls;
};

TEST(RTFEnrichedConverterTest, AttachmentGroupsGoToTheDelegate) {
    Recorder recorder;
    std::string out = enriched(
        "{\\b a{{\\ZellGraphic pic.gif \\width10 \\height10}\n\xAC}b"
        "{{\\attachment skipped}still}c}",
        &recorder);
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[0], "ZellGraphic:<bold>a</bold>");
    EXPECT_EQ(recorder.calls[1], "attachment:<bold>\nb</bold>");
    EXPECT_EQ(out, "<bold>stillc</bold>");
    // Without a delegate the group is read as ordinary text.
    EXPECT_EQ(enriched("{{\\attachment x}}"), "x");
}

}  // namespace
}  // namespace quill
