// Rich text in the two encodings: converting keeps formats, paragraphs and
// cells, and a view converts what is put into it to its own encoding.
#include <gtest/gtest.h>

#include "richtext/RtfWriter.h"
#include "richtext/TextView.h"

namespace quill {
namespace {

RichText latin1Sample() {
    RichText text;
    CharFormat bold;
    bold.traits = kBoldTrait;
    ParagraphFormat centred;
    centred.alignment = kAlignCenter;
    text.append("caf\xe9 ", CharFormat(), ParagraphFormat());
    text.append("\xfc\n", bold, ParagraphFormat());
    text.append("x", CharFormat(), centred);
    Attachment cell;
    cell.name = "a.txt";
    text.replaceWithAttachment(text.length(), 0, cell, CharFormat(), centred);
    return text;
}

TEST(RichTextEncodingTest, ConversionKeepsFormatsAndCells) {
    RichText latin1 = latin1Sample();
    RichText utf8 = latin1.inEncoding(true);
    EXPECT_TRUE(utf8.isUtf8());
    EXPECT_EQ(utf8.describe(), "caf\xc3\xa9 {b|\xc3\xbc\n}<center>x[a.txt]");
    EXPECT_EQ(utf8.inEncoding(false), latin1);
    EXPECT_NE(utf8, latin1);
    EXPECT_EQ(RtfWriter::write(utf8), RtfWriter::write(latin1));
}

TEST(RichTextEncodingTest, AViewConvertsDocumentsToItsEncoding) {
    TextView view;
    view.setUtf8(true);
    view.replaceSel("\xe6\x97\xa5 ");
    view.replaceSelWithDocument(latin1Sample());
    EXPECT_EQ(view.plainText(), "\xe6\x97\xa5 caf\xc3\xa9 \xc3\xbc\nx\xac");
    EXPECT_EQ(view.richText().attachments().size(), 1u);

    view.clear();
    EXPECT_TRUE(view.isUtf8());
    view.replaceSel("\xc3\xa9\xe6\x97\xa5");
    view.setUtf8(false);
    EXPECT_EQ(view.plainText(), "\xe9?");
    EXPECT_EQ(view.selStart(), 2u);
}

}  // namespace
}  // namespace quill
