// RichTextDocument: shows a core RichText in Qt's text system. Runs become
// character formats (font, size, bold, italic, underline, and the baseline
// shift as sub- or superscript), paragraphs become blocks with their alignment
// and indents, and every attachment cell becomes an inline image of the file's
// icon with its name beneath. Positions match one to one: each byte of the
// rich text is one character of the document (a cell is its object character,
// a newline the block separator), so selections map across unchanged.
#pragma once

#include <QImage>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QUrl>
#include <memory>
#include <string>

#include "richtext/RichText.h"

namespace quill {

class RichTextDocument {
  public:
    // Properties of an attachment's image format, for the view that opens a
    // clicked attachment.
    static constexpr int kAttachmentPathProperty = QTextFormat::UserProperty + 1;
    static constexpr int kAttachmentNameProperty = QTextFormat::UserProperty + 2;
    static constexpr int kAttachmentDirectiveProperty = QTextFormat::UserProperty + 3;

    // Replaces what document holds by text.
    static void fill(QTextDocument& document, const RichText& text);
    // A new document holding text.
    static std::unique_ptr<QTextDocument> create(const RichText& text);

    static QTextBlockFormat blockFormat(const ParagraphFormat& format);
    static QTextCharFormat charFormat(const CharFormat& format);
    // What a cell shows: an attached file's icon with its name under it; for
    // other cells (link buttons) a small icon alone.
    static QImage attachmentImage(const Attachment& cell);
};

}  // namespace quill
