// The enriched writer: commands emitted just before the text that needs
// them, sizes in steps, alignment, nesting repaired after a pop, line
// breaks, skipped tables, escapes, and attachment groups handed over.
#include <gtest/gtest.h>

#include "richtext/RTFEnrichedConverter.h"
#include "richtext/TextView.h"
#include "support/Rows.h"

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

// Commands follow the text; sizes step by two points; alignment and its
// reset; line breaks; tables skipped and escapes kept.
TEST(RTFEnrichedConverterTest, Conversions) {
    test::expectRows(
        [](std::string_view rtf) { return enriched(rtf); },
        {
            {"{\\b bold\\b0  word}", "<bold>bold</bold> word"},
            {"{a <b> c}", "a <<b> c"},
            {"{\\i a\\b b\\i0 c}", "<italic>a<bold>b</bold></italic><bold>c</bold>"},
            {"{\\ul u\\ulnone  v}", "<underline>u</underline> v"},
            {"{\\b a{\\i b}c}", "<bold>a<italic>b</italic>c</bold>"},
            {"no group", ""},
            {"{\\fs28 x}", "<bigger>x</bigger>"},
            {"{\\fs26 x}", "x"},
            {"{\\fs20 x}", "<smaller>x</smaller>"},
            {"{\\fs32 a\\fs24 b}", "<bigger><bigger>a</bigger></bigger>b"},
            {"{\\fs16 a\\fs28 b}", "<smaller><smaller>a</smaller></smaller><bigger>b</bigger>"},
            {"{\\qc one\\\n\\qr two}", "<center>one\n\n</center><flushright>two</flushright>"},
            {"{\\b\\i\\ul\\fs28\\qc a\\pard b}",
             "<center><bold><italic><underline><bigger>a</bigger></underline>"
             "</italic></bold></center>b"},
            {"{a\\\n\\\nb}", "a\n\n\nb"},
            {"{\n\nx}", "x"},
            {"{\\\nx}", "\nx"},
            {"{a\n\nb}", "a\nb"},
            {"{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\fs24 x}", "x"},
            {"{caf\\'e9 \\{1\\} a\\\\b \\u150?x}", "caf\xE9 {1} a\\b \x96x"},
        });
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
