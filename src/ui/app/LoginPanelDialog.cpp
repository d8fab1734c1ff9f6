#include "ui/app/LoginPanelDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/platform/QtText.h"

namespace quill {

LoginPanelDialog::LoginPanelDialog(const std::string& site, const std::string& defaultUser,
                                   QWidget* parent)
    : QDialog(parent),
      m_host(new QLabel(tr(kHostFormat).arg(latin1Text(site)), this)),
      m_user(new QLineEdit(utf8Text(defaultUser), this)),
      m_pass(new QLineEdit(this)) {
    setWindowTitle(tr("Login"));
    setModal(true);
    m_host->setObjectName("loginHostField");
    m_user->setObjectName("loginUserField");
    m_pass->setObjectName("loginPassField");
    m_pass->setEchoMode(QLineEdit::Password);
    auto* fields = new QFormLayout;
    fields->addRow(tr("User:"), m_user);
    fields->addRow(tr("Password:"), m_pass);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_host);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    m_user->selectAll();
    m_user->setFocus();
}

MimeFetcher::Login LoginPanelDialog::login() const {
    return {m_user->text().toUtf8().toStdString(), m_pass->text().toUtf8().toStdString()};
}

std::optional<MimeFetcher::Login> LoginPanelDialog::run(const std::string& site,
                                                        const std::string& defaultUser) {
    LoginPanelDialog panel(site, defaultUser, QApplication::activeWindow());
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    return panel.login();
}

}  // namespace quill
