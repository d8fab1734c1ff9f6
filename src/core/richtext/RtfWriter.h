// RtfWriter: saves rich text as RTF, the form rich text takes on disk, on the
// pasteboard and as input to the enriched converter.
//
// What is written, and why:
//  - the font table and colour-free header in their flat one-group form, so a
//    reader that skips a table up to its first closing brace skips all of it;
//  - a paragraph break as a backslash at the end of a line (the classic form of
//    \par), and no other raw line ends anywhere in the text;
//  - "\pard" only where the paragraph format changes, always followed by the
//    complete character format, since some readers clear everything at "\pard";
//  - bytes 160 and above, and control bytes, as \'hh escapes; bytes 128 to 159
//    as \uN (readers take \'hh there as Windows punctuation);
//  - an attached file, in the platform form, as
//    "{{\ZellGraphic NAME \widthW \heightH}" newline 0xAC "}"; in the wire form
//    as "{{\attachment NAME" newline "}" (the wire form is what the reference
//    rewriting of document directories produces, unbalanced brace included).
#pragma once

#include <string>

#include "richtext/RichText.h"

namespace quill {

enum class AttachmentForm { Platform, Wire };

class RtfWriter {
  public:
    // RTF carries ISO 8859-1: UTF-8 text is written in that form.
    static std::string write(const RichText& text, AttachmentForm form = AttachmentForm::Platform);
};

}  // namespace quill
