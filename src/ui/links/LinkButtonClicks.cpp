#include "ui/links/LinkButtonClicks.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

#include "links/URLMailCell.h"
#include "process/ProcessLauncher.h"
#include "ui/richtext/RichTextDocument.h"

namespace quill {

LinkButtonClicks::LinkButtonClicks(QTextEdit* text, BrowserRemote* remote)
    : QObject(text), m_text(text), m_remote(remote) {
    text->viewport()->installEventFilter(this);
    text->viewport()->setMouseTracking(true);
}

std::string LinkButtonClicks::urlAt(const QPoint& viewportPos) const {
    QPointF documentPos = viewportPos + QPointF(m_text->horizontalScrollBar()->value(),
                                                m_text->verticalScrollBar()->value());
    // Only a hit on the icon itself counts, not the text beside it.
    int position = m_text->document()->documentLayout()->hitTest(documentPos, Qt::ExactHit);
    if (position < 0) return {};
    QTextBlock block = m_text->document()->findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        QTextFragment fragment = it.fragment();
        if (position < fragment.position() || position >= fragment.position() + fragment.length())
            continue;
        QTextCharFormat format = fragment.charFormat();
        if (format.property(RichTextDocument::kAttachmentDirectiveProperty).toString() !=
            QLatin1String(URLMailCell::kDirective))
            return {};
        return format.property(RichTextDocument::kAttachmentNameProperty)
            .toString()
            .toLatin1()
            .toStdString();
    }
    return {};
}

bool LinkButtonClicks::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        bool over = !urlAt(static_cast<QMouseEvent*>(event)->position().toPoint()).empty();
        m_text->viewport()->setCursor(over ? Qt::PointingHandCursor : Qt::IBeamCursor);
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        std::string url = urlAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (!url.empty()) {
            URLMailCell::loadURL(url, m_remote, processLauncher());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quill
