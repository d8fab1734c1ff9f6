#include "ui/richtext/RichTextDocument.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextImageFormat>
#include <algorithm>
#include <map>

#include "ui/platform/QtText.h"

namespace quill {
namespace {

constexpr int kIconSize = 32;
constexpr int kLinkIconSize = 14;
constexpr int kLongestShownName = 160;  // pixels; longer names are elided in the middle

Qt::Alignment qtAlignment(int alignment) {
    static const Qt::Alignment kAlignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                                Qt::AlignJustify};
    return alignment >= 0 && alignment < 4 ? kAlignments[alignment] : Qt::AlignLeft;
}

// Without an icon theme (a bare X server, a minimal desktop) the provider's
// icons draw nothing; the style's own always do. Each of those is made once:
// drawing an icon caches its pixmaps under that icon, so a fresh icon for
// every message shown would leave pixmaps behind for each.
QIcon drawable(const QIcon& icon, QStyle::StandardPixmap fallback) {
    if (!icon.pixmap(kIconSize, kIconSize).isNull()) return icon;
    static std::map<QStyle::StandardPixmap, QIcon> made;
    QIcon& standard = made[fallback];
    if (standard.isNull()) standard = QApplication::style()->standardIcon(fallback);
    return standard;
}

QIcon iconFor(const Attachment& cell) {
    QFileIconProvider provider;
    if (!cell.isFile())
        return drawable(provider.icon(QAbstractFileIconProvider::Network), QStyle::SP_DriveNetIcon);
    QFileInfo info(QString::fromStdString(cell.path));
    if (!cell.path.empty() && info.exists())
        return drawable(provider.icon(info),
                        info.isDir() ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    // An icon whose file is not written yet is typed by its name.
    if (cell.path.empty() && !cell.name.empty())
        return drawable(provider.icon(QFileInfo(latin1Text(cell.name))), QStyle::SP_FileIcon);
    return drawable(provider.icon(QAbstractFileIconProvider::File), QStyle::SP_FileIcon);
}

void insertCell(QTextCursor& cursor, QTextDocument& document, const Attachment& cell,
                const CharFormat& format, int index) {
    QImage image = RichTextDocument::attachmentImage(cell);
    QUrl url(QStringLiteral("quill-attachment:%1").arg(index));
    document.addResource(QTextDocument::ImageResource, url, QVariant(image));
    QTextImageFormat imageFormat;
    imageFormat.merge(RichTextDocument::charFormat(format));
    imageFormat.setName(url.toString());
    imageFormat.setWidth(image.width());
    imageFormat.setHeight(image.height());
    imageFormat.setProperty(RichTextDocument::kAttachmentPathProperty,
                            QString::fromStdString(cell.path));
    imageFormat.setProperty(RichTextDocument::kAttachmentNameProperty, latin1Text(cell.name));
    imageFormat.setProperty(RichTextDocument::kAttachmentDirectiveProperty,
                            QString::fromStdString(cell.directive));
    cursor.insertImage(imageFormat);
}

}  // namespace

QTextBlockFormat RichTextDocument::blockFormat(const ParagraphFormat& format) {
    QTextBlockFormat block;
    block.setAlignment(qtAlignment(format.alignment));
    // Qt measures the first line from the others; an outdent cannot pass the frame's edge.
    block.setLeftMargin(std::max(0.0f, format.indent));
    block.setTextIndent(format.firstIndent - std::max(0.0f, format.indent));
    return block;
}

QTextCharFormat RichTextDocument::charFormat(const CharFormat& format) {
    QTextCharFormat chr;
    chr.setFontFamilies({QString::fromStdString(format.font)});
    if (format.size > 0.0f) chr.setFontPointSize(format.size);
    chr.setFontWeight((format.traits & kBoldTrait) ? QFont::Bold : QFont::Normal);
    chr.setFontItalic((format.traits & kItalicTrait) != 0);
    chr.setFontUnderline((format.traits & kUnderlineTrait) != 0);
    if (format.baseline > 0.0f) chr.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (format.baseline < 0.0f) chr.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    return chr;
}

QImage RichTextDocument::attachmentImage(const Attachment& cell) {
    const qreal scale = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    if (!cell.isFile()) {
        QImage image = iconFor(cell).pixmap(kLinkIconSize, kLinkIconSize).toImage();
        return image.isNull() ? QImage(kLinkIconSize, kLinkIconSize, QImage::Format_ARGB32) : image;
    }
    QFont font;
    font.setPointSize(std::max(6, font.pointSize() - 2));
    QFontMetrics metrics(font);
    QString name = metrics.elidedText(latin1Text(cell.name), Qt::ElideMiddle, kLongestShownName);
    int width = std::max(kIconSize, metrics.horizontalAdvance(name)) + 4;
    int height = kIconSize + metrics.height() + 2;
    QImage image(QSize(width, height) * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    iconFor(cell).paint(&painter, QRect((width - kIconSize) / 2, 0, kIconSize, kIconSize));
    painter.setFont(font);
    painter.setPen(QGuiApplication::palette().color(QPalette::Text));
    painter.drawText(QRect(0, kIconSize + 2, width, metrics.height()), Qt::AlignHCenter, name);
    return image;
}

void RichTextDocument::fill(QTextDocument& document, const RichText& text) {
    document.clear();
    const Margins& margins = text.margins();
    QTextFrameFormat frame = document.rootFrame()->frameFormat();
    frame.setLeftMargin(margins.left);
    frame.setRightMargin(margins.right);
    frame.setTopMargin(margins.top);
    frame.setBottomMargin(margins.bottom);
    document.rootFrame()->setFrameFormat(frame);

    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    bool first = true;
    int cellIndex = 0;
    for (const RichText::Paragraph& paragraph : text.paragraphs()) {
        QTextBlockFormat block = blockFormat(*paragraph.format);
        if (first) {
            cursor.setBlockFormat(block);
        } else {
            cursor.insertBlock(block);
        }
        first = false;
        for (const RichText::Run& run : text.runs(paragraph.start, paragraph.length)) {
            if (run.attachment) {
                insertCell(cursor, document, *run.attachment, *run.format, cellIndex++);
                continue;
            }
            std::string_view bytes = run.text;
            if (!bytes.empty() && bytes.back() == '\n') bytes.remove_suffix(1);
            if (!bytes.empty())
                cursor.insertText(shownText(bytes, text.isUtf8()), charFormat(*run.format));
        }
    }
    // A final newline leaves an empty last paragraph.
    if (!text.empty() && text.plainText().back() == '\n') cursor.insertBlock(QTextBlockFormat());
    cursor.endEditBlock();
}

std::unique_ptr<QTextDocument> RichTextDocument::create(const RichText& text) {
    auto document = std::make_unique<QTextDocument>();
    fill(*document, text);
    return document;
}

}  // namespace quill
