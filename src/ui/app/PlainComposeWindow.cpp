#include "ui/app/PlainComposeWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/platform/QtText.h"

namespace quill {

PlainComposeWindow::PlainComposeWindow(std::function<void(PlainComposeWindow*)> onClose)
    : m_onClose(std::move(onClose)),
      m_attachments(new QListWidget),
      m_body(new QPlainTextEdit),
      m_status(new QLabel) {
    auto* form = new QFormLayout;
    const char* labels[] = {"To:", "Subject:", "Cc:", "Bcc:"};
    for (int field = 0; field < 4; ++field) {
        m_fields[field] = new QLineEdit;
        form->addRow(tr(labels[field]), m_fields[field]);
    }
    connect(m_fields[Subject], &QLineEdit::textChanged, this, [this] { updateTitle(); });
    m_attachments->setMaximumHeight(60);
    form->addRow(tr("Attachments:"), m_attachments);
    auto* deliver = new QPushButton(tr("Deliver"));
    connect(deliver, &QPushButton::clicked, this, [this] { performDeliver(); });
    connect(m_body, &QPlainTextEdit::textChanged, this, [this] { m_edited = true; });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_body, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(deliver);
    layout->addLayout(bottom);
    resize(560, 460);
    updateTitle();
}

void PlainComposeWindow::setField(int field, const std::string& value) {
    if (field >= To && field <= Bcc) m_fields[field]->setText(latin1Text(value));
}

void PlainComposeWindow::setBody(const std::string& text) {
    m_body->setPlainText(latin1Text(text));
    m_edited = true;
}

void PlainComposeWindow::addAttachment(const std::string& path) {
    QString file = QString::fromLocal8Bit(path.c_str());
    auto* item = new QListWidgetItem(QFileInfo(file).fileName(), m_attachments);
    item->setData(Qt::UserRole, file);
    item->setToolTip(file);
    m_edited = true;
}

void PlainComposeWindow::performDeliver() {
    m_status->setText(tr("This window cannot deliver yet; the message is kept."));
}

void PlainComposeWindow::orderFront() {
    show();
    raise();
    activateWindow();
}

QString PlainComposeWindow::fieldText(int field) const { return m_fields[field]->text(); }
QString PlainComposeWindow::bodyText() const { return m_body->toPlainText(); }
QString PlainComposeWindow::status() const { return m_status->text(); }

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

void PlainComposeWindow::updateTitle() {
    QString subject = m_fields[Subject]->text();
    setWindowTitle(subject.isEmpty() ? tr("Compose") : subject);
}

}  // namespace quill
