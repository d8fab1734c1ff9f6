// The rich-text model and the text view: typing formats, paragraph formats
// that follow the paragraph's first byte, cells, plain mode.
#include <gtest/gtest.h>

#include "richtext/RichText.h"
#include "richtext/TextView.h"

namespace quill {
namespace {

TEST(TextView, FormatsApplyToTextInsertedAfterwards) {
    TextView view;
    view.replaceSel("a");
    view.setFontTraits(kBoldTrait | kItalicTrait);
    view.replaceSel("b");
    view.setFontTraits(0, kItalicTrait);  // only the masked bit changes
    view.setFontSize(20.0f);
    view.replaceSel("c");
    view.setFontTraits(0);
    view.setFontSize(12.0f);
    view.replaceSel("d");
    EXPECT_EQ(view.richText().describe(), "a{b i|b}{b s20|c}d");
    EXPECT_EQ(view.plainText(), "abcd");
}

TEST(TextView, FormattingASelectionChangesItAndTheTypingFormat) {
    TextView view;
    view.replaceSel("one two three");
    view.setSel(4, 7);
    view.setFontTraits(kUnderlineTrait, kUnderlineTrait);
    view.superscript();
    EXPECT_EQ(view.richText().describe(), "one {u +4|two} three");
    EXPECT_EQ(view.selectedText(), "two");
    view.setSel(7, 7);  // the insertion point takes the format before it
    EXPECT_EQ(view.fontTraits(), kUnderlineTrait);
    view.unscript();
    view.replaceSel("!");
    EXPECT_EQ(view.richText().describe(), "one {u +4|two}{u|!} three");
}

TEST(TextView, ToggledTraitsFlipPerRun) {
    TextView view;
    view.replaceSel("upright ");
    view.setFontTraits(kItalicTrait | kBoldTrait);
    view.replaceSel("slanted");
    view.selectAll();
    view.toggleFontTraits(kItalicTrait);
    EXPECT_EQ(view.richText().describe(), "{i|upright }{b|slanted}");
}

TEST(TextView, ParagraphFormatIsTheFirstBytesAndNeverReformatsWrittenText) {
    TextView view;
    view.setAlignment(kAlignCenter);
    view.replaceSel("Title");
    view.setAlignment(kAlignLeft);
    view.replaceSel(" more\nBody");  // continues the centred paragraph up to its newline
    view.setIndents(36.0f, 36.0f);
    view.replaceSel("\nQuote\n");
    EXPECT_EQ(view.richText().describe(), "<center>Title more\nBody\n<left fi36 li36>Quote\n");
    EXPECT_EQ(view.richText().paragraphFormatAt(7).alignment, kAlignCenter);
    EXPECT_EQ(view.richText().paragraphFormatAt(view.textLength()).alignment, kAlignLeft);
}

TEST(TextView, ParagraphFormatOfASelectionCoversWholeParagraphs) {
    TextView view;
    view.replaceSel("first\nsecond\nthird");
    view.setSel(3, 8);  // from inside the first into the second paragraph
    view.setAlignment(kAlignRight);
    EXPECT_EQ(view.richText().describe(), "<right>first\n<right>second\nthird");
}

TEST(TextView, FilesGoInAsCellsOrAsPathNamesInPlainMode) {
    TextView view;
    view.replaceSel("see ");
    EXPECT_TRUE(view.replaceSelWithFile("/home/u/Mail/pics/"));
    view.replaceSel(" and ");
    EXPECT_TRUE(view.replaceSelWithFile("/tmp/chart.tiff"));
    EXPECT_FALSE(view.replaceSelWithFile(""));
    EXPECT_EQ(view.plainText(), "see \xAC and \xAC");
    EXPECT_EQ(view.richText().describe(), "see [pics] and [chart.tiff]");
    EXPECT_EQ(view.richText().attachmentAt(10)->path, "/tmp/chart.tiff");
    EXPECT_TRUE(view.hasGraphics());

    TextView plain;
    plain.setPlainMode(true);
    plain.replaceSelWithFile("/tmp/chart.tiff");
    EXPECT_EQ(plain.plainText(), "/tmp/chart.tiff");
    EXPECT_FALSE(plain.hasGraphics());
}

TEST(TextView, InsertingAnotherViewCopiesFormatsAndCells) {
    TextView source;
    source.setFontTraits(kBoldTrait);
    source.replaceSel("B");
    source.replaceSelWithFile("/a/f.ps");
    TextView target;
    target.replaceSel("[]");
    target.setSel(1, 1);
    target.replaceSelWithView(source);
    EXPECT_EQ(target.richText().describe(), "[{b|B}[f.ps]]");
    EXPECT_EQ(target.selStart(), 3u);

    RichText part = target.richText().slice(1, 2);
    EXPECT_EQ(part.describe(), "{b|B}[f.ps]");
    EXPECT_EQ(part.attachments()[0]->path, "/a/f.ps");
    target.clear();
    EXPECT_EQ(source.richText().attachments().size(), 1u);  // copies, not shares
}

TEST(TextView, PlainModeDropsFormattingAndIgnoresFormatOperations) {
    TextView view;
    view.setFontTraits(kBoldTrait);
    view.setAlignment(kAlignCenter);
    view.replaceSel("rich");
    EXPECT_TRUE(view.hasFormatting());
    view.setPlainMode(true);
    view.setFontTraits(kItalicTrait);
    view.replaceSel(" text");
    EXPECT_EQ(view.richText().describe(), "rich text");
    EXPECT_FALSE(view.hasFormatting());
    EXPECT_TRUE(view.replaceSelWithRTF("{\\rtf1 {\\b more}}"));
    EXPECT_EQ(view.richText().describe(), "rich textmore");
    EXPECT_FALSE(view.replaceSelWithRTF("not rtf"));
}

TEST(TextView, BaseFormatIsWhatCountsAsUnformatted) {
    TextView view;
    CharFormat messageFont;
    messageFont.font = "Courier";
    messageFont.size = 10.0f;
    view.setBaseFormat(messageFont);
    view.replaceSel("typed");
    EXPECT_FALSE(view.hasFormatting());
    EXPECT_EQ(view.richText().charFormatAt(0).font, "Courier");
}

TEST(TextView, UpdateBracketsNest) {
    TextView view;
    view.beginUpdates();
    view.beginUpdates();
    view.replaceSel("x");
    view.endUpdates();
    EXPECT_TRUE(view.isUpdating());
    unsigned long before = view.revision();
    view.endUpdates();
    EXPECT_FALSE(view.isUpdating());
    EXPECT_GT(view.revision(), before);
}

TEST(RichText, EditingAtTheEdgesKeepsFormatsInStep) {
    RichText text;
    CharFormat bold;
    bold.traits = kBoldTrait;
    text.append("abc\ndef", bold, ParagraphFormat());
    text.erase(2, 3);  // across the paragraph end
    EXPECT_EQ(text.describe(), "{b|abef}");
    text.replace(100, 5, "!", CharFormat(), ParagraphFormat());  // clamped to the end
    EXPECT_EQ(text.describe(), "{b|abef}!");
    text.changeCharFormat(1, 100, [](CharFormat& f) { f.traits ^= kItalicTrait; });
    EXPECT_EQ(text.describe(), "{b|a}{b i|bef}{i|!}");
    EXPECT_TRUE(text.runs(0, 0).empty());
    RichText empty;
    empty.changeParagraphFormat(0, 10, [](ParagraphFormat& p) { p.alignment = kAlignRight; });
    EXPECT_EQ(empty.paragraphFormatAt(0).alignment, kAlignLeft);
    EXPECT_EQ(empty.charFormatAt(5).size, 12.0f);
}

TEST(RichText, JoiningAndSplittingParagraphsKeepsEachUniform) {
    TextView view;
    view.replaceSel("first\n");
    view.setAlignment(kAlignRight);
    view.replaceSel("second");
    RichText text = view.richText();
    text.erase(5, 1);  // joined: the first paragraph's format wins
    EXPECT_EQ(text.describe(), "firstsecond");
    ParagraphFormat centred;
    centred.alignment = kAlignCenter;
    text.replace(5, 0, "\n", CharFormat(), centred);  // split again: both halves keep it
    EXPECT_EQ(text.describe(), "first\nsecond");
    text.replace(0, 0, "new ", CharFormat(), centred);  // text that begins a paragraph sets it
    EXPECT_EQ(text.describe(), "<center>new first\nsecond");
}

// Each insertion below adds styles while the format of the paragraph it
// continues is being copied onto it; that format must outlive the additions.
TEST(RichText, TextContinuingAParagraphKeepsItsFormatWhileStylesAreAdded) {
    RichText text;
    const ParagraphFormat indented{kAlignCenter, 36.0f, 18.0f};
    text.append("a", CharFormat{}, indented);
    for (int i = 1; i <= 100; ++i) {
        CharFormat chr;
        chr.size = 12.0f + static_cast<float>(i);
        text.append("b", chr, ParagraphFormat{});
    }
    ASSERT_EQ(text.paragraphs().size(), 1u);
    for (size_t i = 0; i < text.length(); ++i) EXPECT_EQ(text.paragraphFormatAt(i), indented);
}

}  // namespace
}  // namespace quill
