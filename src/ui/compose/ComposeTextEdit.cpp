#include "ui/compose/ComposeTextEdit.h"

#include <QFileInfo>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>
#include <algorithm>

#include "richtext/TextView.h"
#include "ui/richtext/RichTextDocument.h"

namespace quill {
namespace {

constexpr QChar kObjectChar = QChar(0xFFFC);

unsigned traitsOf(const QTextCharFormat& format) {
    unsigned traits = 0;
    if (format.fontWeight() >= QFont::Bold) traits |= kBoldTrait;
    if (format.fontItalic()) traits |= kItalicTrait;
    if (format.fontUnderline()) traits |= kUnderlineTrait;
    return traits;
}

QStringList localFiles(const QMimeData* source) {
    QStringList files;
    if (!source->hasUrls()) return files;
    for (const QUrl& url : source->urls())
        if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile())) files << url.toLocalFile();
    return files;
}

}  // namespace

ComposeTextEdit::ComposeTextEdit(TextView& text, QWidget* parent)
    : QTextEdit(parent), m_text(text) {
    setAcceptRichText(false);
    connect(document(), &QTextDocument::contentsChange, this, &ComposeTextEdit::contentsChanged);
    reload();
}

void ComposeTextEdit::reload() {
    m_loading = true;
    RichTextDocument::fill(*document(), m_text.richText());
    if (m_text.isPlainMode()) {
        // Plain text shows in the window's own (fixed-pitch) font.
        QTextCharFormat plain;
        plain.setFont(font());
        QTextCursor all(document());
        all.select(QTextCursor::Document);
        all.mergeCharFormat(plain);
    }
    m_loading = false;
    const int last = document()->characterCount() - 1;
    QTextCursor cursor(document());
    cursor.setPosition(std::min<int>(m_text.selStart(), last));
    cursor.setPosition(std::min<int>(m_text.selEnd(), last), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void ComposeTextEdit::syncSelectionToCore() {
    QTextCursor cursor = textCursor();
    m_text.setSel(cursor.selectionStart(), cursor.selectionEnd());
}

void ComposeTextEdit::toggleTraits(unsigned bits) {
    syncSelectionToCore();
    m_text.toggleFontTraits(bits);
    if (m_text.selStart() != m_text.selEnd()) {
        reload();
        emit textEdited();
        return;
    }
    // Typed text carries the edit's own format into the core.
    const unsigned traits = m_text.fontTraits();
    QTextCharFormat typing;
    typing.setFontWeight(traits & kBoldTrait ? QFont::Bold : QFont::Normal);
    typing.setFontItalic(traits & kItalicTrait);
    typing.setFontUnderline(traits & kUnderlineTrait);
    mergeCurrentCharFormat(typing);
}

// Qt may report a change wider than it was (a whole-document replacement
// counts the final separator); the core's length bounds what was removed.
void ComposeTextEdit::contentsChanged(int position, int removed, int added) {
    if (m_loading || (removed == added && sameCharacters(position, added))) return;
    const size_t start = std::min<size_t>(position, m_text.textLength());
    const size_t end = std::min<size_t>(start + removed, m_text.textLength());
    m_text.setSel(start, end);
    m_text.replaceSel("");
    const int last = document()->characterCount() - 1;
    copyRangeToCore(position, std::min(position + added, last));
    syncSelectionToCore();
    emit textEdited();
}

// A change of layout or font only (the document's font follows the format)
// reports its range as replaced by the same characters.
bool ComposeTextEdit::sameCharacters(int position, int count) const {
    if (position + count > static_cast<int>(m_text.textLength())) return false;
    QTextCursor cursor(document());
    cursor.setPosition(position);
    cursor.setPosition(std::min(position + count, document()->characterCount() - 1),
                       QTextCursor::KeepAnchor);
    QString shown = cursor.selectedText();
    shown.replace(QChar::ParagraphSeparator, '\n').replace(kObjectChar, QChar(0xAC));
    return shown.toLatin1().toStdString() == m_text.plainText().substr(position, count);
}

void ComposeTextEdit::copyRangeToCore(int from, int to) {
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = std::max(fragment.position(), from);
            const int end = std::min(fragment.position() + fragment.length(), to);
            if (start < end)
                insertPiece(fragment.text().mid(start - fragment.position(), end - start),
                            fragment.charFormat());
        }
        const int separator = block.position() + block.length() - 1;
        if (separator >= from && separator < to) m_text.replaceSel("\n");
    }
}

// An attachment icon goes back in as its file; text with its traits, one
// byte per character so positions stay matched.
void ComposeTextEdit::insertPiece(const QString& piece, const QTextCharFormat& format) {
    if (format.isImageFormat()) {
        const std::string path =
            format.property(RichTextDocument::kAttachmentPathProperty).toString().toStdString();
        for (QChar c : piece) {
            if (c == kObjectChar && m_text.replaceSelWithFile(path)) continue;
            m_text.replaceSel(" ");
        }
        return;
    }
    m_text.setFontTraits(traitsOf(format));
    QString text = piece;
    text.replace(QChar::ParagraphSeparator, '\n').replace(QChar::LineSeparator, '\n');
    m_text.replaceSel(text.toLatin1().toStdString());
}

bool ComposeTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasText() || !localFiles(source).isEmpty();
}

void ComposeTextEdit::insertFromMimeData(const QMimeData* source) {
    const QStringList files = localFiles(source);
    const bool attach = m_filesAccepted && m_filesAccepted();
    if (!files.isEmpty() && !attach && m_filesAsText) {
        insertFilesAsText(files);
        return;
    }
    if (files.isEmpty() || !attach) {
        insertPlainText(source->text());
        return;
    }
    syncSelectionToCore();
    for (const QString& file : files) m_text.replaceSelWithFile(file.toStdString());
    reload();
    emit filesPasted();
}

void ComposeTextEdit::insertFilesAsText(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& file : files) paths.push_back(file.toStdString());
    syncSelectionToCore();
    if (!m_filesAsText(paths)) return;
    reload();
    emit textEdited();
}

}  // namespace quill
