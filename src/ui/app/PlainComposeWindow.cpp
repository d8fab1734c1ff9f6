#include "ui/app/PlainComposeWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/platform/QtText.h"

namespace quill {
namespace {

std::string latin1Bytes(const QString& text) { return text.toLatin1().toStdString(); }

}  // namespace

PlainComposeWindow::PlainComposeWindow(SendServices services,
                                       std::function<void(PlainComposeWindow*)> onClose)
    : m_send(std::move(services)),
      m_onClose(std::move(onClose)),
      m_attachments(new QListWidget),
      m_body(new QPlainTextEdit) {
    auto* form = new QFormLayout;
    const char* labels[] = {"To:", "Subject:", "Cc:", "Bcc:"};
    for (int field = To; field <= Bcc; ++field) {
        m_fields[field] = new QLineEdit;
        form->addRow(tr(labels[field]), m_fields[field]);
        connect(m_fields[field], &QLineEdit::textEdited, this, [this, field](const QString& text) {
            m_send.setField(field, latin1Bytes(text));
            m_send.nowEditing();
        });
    }
    m_attachments->setMaximumHeight(60);
    form->addRow(tr("Attachments:"), m_attachments);
    auto* deliver = new QPushButton(tr("Deliver"));
    connect(deliver, &QPushButton::clicked, this, [this] { m_send.deliverAction(); });
    connect(m_body, &QPlainTextEdit::textChanged, this, [this] { m_send.nowEditing(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_body, 1);
    layout->addWidget(deliver, 0, Qt::AlignRight);
    resize(560, 460);
    m_send.setView(this);
    setTitle(m_send.title());
}

void PlainComposeWindow::setField(int field, const std::string& value) {
    m_send.setField(field, value);
    if (field >= To && field <= Bcc) m_fields[field]->setText(latin1Text(value));
}

void PlainComposeWindow::setBody(const std::string& text) {
    m_body->setPlainText(latin1Text(text));
}

void PlainComposeWindow::addAttachment(const std::string& path) {
    QString file = QString::fromLocal8Bit(path.c_str());
    auto* item = new QListWidgetItem(QFileInfo(file).fileName(), m_attachments);
    item->setData(Qt::UserRole, file);
    item->setToolTip(file);
    m_send.nowEditing();
}

void PlainComposeWindow::performDeliver() {
    QTimer::singleShot(0, this, [this] { m_send.deliverAction(); });
}

void PlainComposeWindow::orderFront() {
    show();
    raise();
    activateWindow();
}

void PlainComposeWindow::setTitle(const std::string& title) { setWindowTitle(latin1Text(title)); }

// The text, then each file to attach on a line of its own.
void PlainComposeWindow::commitFieldEdits() {
    for (int field = To; field <= Bcc; ++field)
        m_send.setField(field, latin1Bytes(m_fields[field]->text()));
    TextView& text = m_send.text();
    text.clear();
    text.replaceSel(latin1Bytes(m_body->toPlainText()));
    for (const QString& path : attachmentPaths()) {
        if (text.textLength() > 0 && text.plainText().back() != '\n') text.replaceSel("\n");
        text.replaceSelWithFile(path.toLocal8Bit().toStdString());
    }
}

std::string PlainComposeWindow::subject() const {
    return m_send.getField(Subject).value_or(std::string());
}

QStringList PlainComposeWindow::attachmentPaths() const {
    QStringList paths;
    for (int i = 0; i < m_attachments->count(); ++i)
        paths << m_attachments->item(i)->data(Qt::UserRole).toString();
    return paths;
}

void PlainComposeWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (m_onClose) m_onClose(this);
}

}  // namespace quill
