// RTF written from known rich text (golden bytes), read back to the same runs,
// both attachment forms, and RTF as other programs write it.
#include <gtest/gtest.h>

#include <cmath>

#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"
#include "richtext/TextView.h"

namespace quill {
namespace {

RichText read(std::string_view rtf) {
    std::optional<RichText> text = RtfReader::read(rtf);
    EXPECT_TRUE(text.has_value());
    return text ? *text : RichText();
}

// A document with traits, sizes, an 8-bit byte, characters RTF escapes, a
// centred and indented paragraph and an attached file.
RichText sampleDocument() {
    TextView view;
    view.replaceSel("Plain ");
    view.setFontTraits(kBoldTrait, kBoldTrait);
    view.replaceSel("bold");
    view.setFontTraits(0, kBoldTrait);
    view.replaceSel(" {x}\\ caf\xe9\n");
    view.setAlignment(kAlignCenter);
    view.setIndents(36.0f, 18.0f);
    view.setFontSize(14.0f);
    view.replaceSel("Title\n");
    view.setAlignment(kAlignLeft);
    view.setIndents(0.0f, 0.0f);
    view.setFontSize(12.0f);
    view.replaceSelWithFile("/somewhere/chart.tiff");
    view.replaceSel("\n");
    RichText text = view.richText();
    text.editAttachments([](Attachment& cell) { cell.path.clear(); });
    return text;
}

const char kSampleRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl\\f0\\fswiss Helvetica;}\n"
    "\\pard\\ql\\plain\\f0\\fs24 Plain \\b bold\\b0  \\{x\\}\\\\ caf\\'e9\\\n"
    "\\pard\\qc\\fi360\\li360\\plain\\f0\\fs28 Title\\\n"
    "\\pard\\ql\\plain\\f0\\fs24{{\\ZellGraphic chart.tiff \\width0 \\height0}\n\xAC}\\\n"
    "}";

TEST(RtfWriter, WritesTheGoldenBytes) { EXPECT_EQ(RtfWriter::write(sampleDocument()), kSampleRtf); }

TEST(RtfReader, ReadsWhatTheWriterWrote) {
    RichText original = sampleDocument();
    RichText back = read(RtfWriter::write(original));
    EXPECT_EQ(back.describe(), original.describe());
    EXPECT_TRUE(back == original);
    EXPECT_EQ(back.plainText(), "Plain bold {x}\\ caf\xe9\nTitle\n\xAC\n");
}

TEST(RtfReader, RoundTripsEveryFormatTheModelHolds) {
    TextView view;
    view.setMargins(6.0f, 6.0f, 2.0f, 0.0f);
    view.setFontName("Courier");
    view.setFontTraits(kItalicTrait | kUnderlineTrait);
    view.replaceSel("mono\tslanted\f");
    view.setFontName("Times-Roman");
    view.superscript();
    view.replaceSel("up");
    view.unscript();
    view.subscript();
    view.replaceSel("down\n");
    view.setIndents(-36.0f, -36.0f);
    view.setAlignment(kAlignJustified);
    view.replaceSel(
        "outdented \xAC not a cell\x01 \x93"
        "C1\x94\n");
    RichText back = read(RtfWriter::write(view.richText()));
    EXPECT_EQ(back.describe(), view.richText().describe());
    EXPECT_TRUE(back == view.richText());
    EXPECT_TRUE(back.attachments().empty());
}

TEST(RtfWriter, WireFormReferencesTheFileByName) {
    TextView view;
    view.replaceSel("See ");
    view.replaceSelWithFile("/x/my chart.tiff");
    view.replaceSel(" here");
    std::string wire = RtfWriter::write(view.richText(), AttachmentForm::Wire);
    EXPECT_NE(wire.find("\\fs24 See {{\\attachment my chart.tiff\n} here}"), std::string::npos)
        << wire;
}

TEST(RtfReader, ReadsAttachmentsInEveryForm) {
    const std::pair<const char*, const char*> forms[] = {
        {"platform",
         "{\\rtf1 See {{\\ZellGraphic my chart.tiff \\width960 \\height640}\n\xAC} here}"},
        {"incoming rewrite",
         "{\\rtf1 See {{\\ZellGraphic my chart.tiff \\width0 \\height0\n}\xAC} here}"},
        {"wire", "{\\rtf1 See {{\\attachment my chart.tiff\n} here}"},
    };
    for (const auto& [name, rtf] : forms) {
        SCOPED_TRACE(name);
        RichText text = read(rtf);
        EXPECT_EQ(text.describe(), "See [my chart.tiff] here");
        ASSERT_EQ(text.attachments().size(), 1u);
        EXPECT_TRUE(text.attachments()[0]->isFile());
    }
    EXPECT_EQ(read(forms[0].second).attachments()[0]->width, 960);
}

TEST(RtfReader, LinkCellsKeepTheirDirective) {
    RichText text;
    Attachment link;
    link.directive = "TesselURL";
    link.name = "http://example.com/{a}";
    text.replaceWithAttachment(0, 0, link, CharFormat(), ParagraphFormat());
    text.append("http://example.com/{a}", CharFormat(), ParagraphFormat());
    RichText back = read(RtfWriter::write(text));
    EXPECT_TRUE(back == text);
    EXPECT_FALSE(back.attachments()[0]->isFile());
}

// Shapes of RTF from a word processor: nested font table, colour table,
// ignorable destinations, \uN with fallback, \line, \tab, unknown words.
TEST(RtfReader, ReadsOrdinaryRtfFromOtherPrograms) {
    const char* rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl{\\f0\\fnil\\fcharset0 "
        "Calibri;}{\\f1\\fmodern Courier New;}}\n"
        "{\\colortbl ;\\red255\\green0\\blue0;}\n"
        "{\\*\\generator Riched20 10.0.19041;}{\\info{\\title Secret}}\\viewkind4\\uc1 \n"
        "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang9 Hello \\b World\\b0 !\\par\n"
        "\\pard\\qc\\i Caf\\'e9 \\u8364?\\i0  and \\u233\\'e9 done\\par\n"
        "{\\f1\\fs20 code}\\tab x\\line y\\par\n"
        "}";
    EXPECT_EQ(read(rtf).describe(),
              "{s11 f=Calibri|Hello }{b s11 f=Calibri|World}{s11 f=Calibri|!\n}"
              "<center>{i s11 f=Calibri|Caf\xe9 ?}{s11 f=Calibri| and \xe9 done\n}"
              "<center>{s10 f=Courier New|code}{s11 f=Calibri|\tx\n}"
              "<center>{s11 f=Calibri|y\n}");
}

TEST(RtfReader, ReadsCocoaStyleRtfWithMargins) {
    const char* rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2580\n"
        "\\cocoatextscaling0\\cocoaplatform0{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;"
        "\\f1\\fswiss\\fcharset0 Helvetica-Bold;}\n"
        "{\\colortbl;\\red255\\green255\\blue255;}\n"
        "{\\*\\expandedcolortbl;;}\n"
        "\\paperw11900\\paperh16840\\margl1440\\margr1440\\vieww11520\\viewh8400\\viewkind0\n"
        "\\pard\\tx566\\tx1133\\pardirnatural\\partightenfactor0\n\n"
        "\\f0\\fs24 \\cf0 Line one\\\n"
        "\\f1\\b bold line\\\n"
        "}";
    RichText text = read(rtf);
    EXPECT_EQ(text.describe(), "Line one\n{b f=Helvetica-Bold|bold line\n}");
    EXPECT_EQ(text.margins(), (Margins{72.0f, 72.0f, 0.0f, 0.0f}));
}

// Groups scope formats, \plain resets, Windows punctuation becomes Latin-1,
// deep groups balance, and broken input gives what was read.
TEST(RtfReader, ReadsTheseRuns) {
    const std::string deep(5000, '{'), deepEnd(5000, '}');
    const std::pair<std::string, const char*> rows[] = {
        {"{\\rtf1 a{\\b b{\\i c}d}e\\b\\fs30 f\\plain g}", "a{b|b}{b i|c}{b|d}e{b s15|f}g"},
        {"{\\rtf1\\ansi \\'93quoted\\'94 \\'96 it\\'92s \\'e9}", "\"quoted\" - it's \xe9"},
        {"{\\rtf1 " + deep + "x" + deepEnd + "y}", "xy"},
        {"{\\rtf1 a\\li720\\b bc}", "<left fi36 li36>a{b|bc}"},
        {"{\\rtf1 {\\b unclosed", "{b|unclosed}"},
        {"{\\rtf1 text}}} more", "text"},
        {"{\\rtf1 a\\'zzb\\'4", "azzb4"},
        {"{\\rtf1 x\\bin5 {{{{{y}", "xy"},
        {"{\\rtf1 \\u-4064?\\u", "?"},
    };
    for (const auto& [rtf, runs] : rows) EXPECT_EQ(read(rtf).describe(), runs) << rtf.substr(0, 40);
}

TEST(RtfReader, RefusesWhatIsNotRtf) {
    EXPECT_FALSE(RtfReader::read("plain words").has_value());
    EXPECT_FALSE(RtfReader::read("").has_value());
    EXPECT_TRUE(RtfReader::looksLikeRtf("\n  {\\rtf0 x}"));
}

TEST(RtfReader, IndentsAtTheEndsOfTheParameterRangeStayFinite) {
    struct Row {
        const char* name;
        const char* rtf;
        float firstIndent;
    };
    const Row rows[] = {
        {"huge-first-line", "{\\rtf1\\li1\\fi99999999999 x}", (1.0f + 2147483647.0f) / 20.0f},
        {"both-huge", "{\\rtf1\\li99999999999\\fi99999999999 x}", 4294967294.0f / 20.0f},
        {"both-hugely-negative", "{\\rtf1\\li-99999999999\\fi-99999999999 x}",
         -4294967294.0f / 20.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FLOAT_EQ(read(row.rtf).paragraphFormatAt(0).firstIndent, row.firstIndent);
    }
}

// Formats read from outside may hold any float; what is written stays in
// the int range the reader takes.
TEST(RtfWriter, IndentsBeyondTheParameterRangeAreWrittenAtItsEnds) {
    struct Row {
        const char* name;
        ParagraphFormat para;
        const char* words;
    };
    const Row rows[] = {
        {"first-line-beyond", {kAlignLeft, 1e10f, 0.0f}, "\\pard\\ql\\fi2147483647\\plain"},
        {"opposite-ends",
         {kAlignLeft, -1e10f, 1e10f},
         "\\pard\\ql\\fi-2147483647\\li2147483647\\plain"},
        {"not-a-number", {kAlignLeft, std::nanf(""), 0.0f}, "\\pard\\ql\\plain"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RichText text;
        text.append("x", CharFormat{}, row.para);
        EXPECT_NE(RtfWriter::write(text).find(row.words), std::string::npos)
            << RtfWriter::write(text);
    }
}

}  // namespace
}  // namespace quill
