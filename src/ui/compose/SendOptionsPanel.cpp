#include "ui/compose/SendOptionsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QTimer>

#include "app/MailDriver.h"
#include "platform/Localized.h"
#include "settings/Defaults.h"
#include "ui/compose/ComposeWindow.h"
#include "ui/platform/QtText.h"

namespace quill {
namespace {

// Refreshing waits for the window that asked to settle.
constexpr int kRefreshDelayMs = 10;

SendOptionsPanel*& instance() {
    static SendOptionsPanel* panel = nullptr;
    return panel;
}

}  // namespace

SendOptionsPanel& SendOptionsPanel::shared() {
    if (!instance()) instance() = new SendOptionsPanel;
    return *instance();
}

bool SendOptionsPanel::exists() { return instance() != nullptr; }

SendOptionsPanel::SendOptionsPanel() : QWidget(nullptr, Qt::Tool) {
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(utf8Text(localized(kUITable, "Options")));
    auto* form = new QFormLayout(this);
    m_replyTo = new QLineEdit(this);
    m_popUp = new QComboBox(this);
    m_fieldText = new QLineEdit(this);
    m_archive = new QCheckBox(utf8Text(localized(kUITable, "Archive")), this);
    form->addRow(utf8Text(localized(kUITable, "Reply-To:")), m_replyTo);
    form->addRow(m_popUp, m_fieldText);
    form->addRow(m_archive);
    updateUserFields();
    connect(m_popUp, &QComboBox::currentIndexChanged, this, [this] { upLoad(); });
    for (QLineEdit* edit : {m_replyTo, m_fieldText})
        connect(edit, &QLineEdit::textEdited, this, &SendOptionsPanel::downLoad);
    connect(m_archive, &QCheckBox::toggled, this, &SendOptionsPanel::downLoad);
}

void SendOptionsPanel::setCurSender(ComposeWindow* window) {
    m_sender = window;
    QTimer::singleShot(kRefreshDelayMs, this, &SendOptionsPanel::upLoad);
}

void SendOptionsPanel::forget(ComposeWindow* window) {
    if (m_sender == window) m_sender = nullptr;
}

int SendOptionsPanel::curField() const {
    const int row = m_popUp->currentIndex();
    return row >= 0 && row < static_cast<int>(m_popUpFields.size()) ? m_popUpFields[row]
                                                                    : kFieldBcc;
}

void SendOptionsPanel::upLoad() {
    if (!m_sender) return;
    Send& send = m_sender->send();
    const QSignalBlocker blockArchive(m_archive);
    m_replyTo->setText(latin1Text(send.getField(kFieldReplyTo).value_or("")));
    m_fieldText->setText(latin1Text(send.getField(curField()).value_or("")));
    m_archive->setChecked(send.archive());
}

void SendOptionsPanel::downLoad() {
    if (!m_sender) return;
    Send& send = m_sender->send();
    send.setField(kFieldReplyTo, m_replyTo->text().toLatin1().toStdString());
    send.setField(curField(), m_fieldText->text().toLatin1().toStdString());
    send.setArchive(m_archive->isChecked());
}

void SendOptionsPanel::updateUserFields() {
    downLoad();
    Defaults& defaults = MailDriver::shared().mailContext().defaults;
    const QSignalBlocker block(m_popUp);
    m_popUp->clear();
    m_popUpFields = {kFieldBcc};
    m_popUp->addItem(utf8Text(localized(kUITable, "Bcc:")));
    const std::pair<int, std::string> users[] = {{kFieldUser1, defaults.userKey1()},
                                                 {kFieldUser2, defaults.userKey2()}};
    for (const auto& [field, key] : users) {
        if (key.empty()) continue;
        m_popUpFields.push_back(field);
        m_popUp->addItem(latin1Text(key + ":"));
    }
}

}  // namespace quill
