// LoginPanelDialog: the panel that asks for a user name and password before
// an external body is fetched from a site that wants a login. The host line
// names the site, the user field starts with the user's login name (selected,
// so typing replaces it) and the password is never shown.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "app/MimeFetcher.h"

class QLabel;
class QLineEdit;

namespace quill {

class LoginPanelDialog : public QDialog {
    Q_OBJECT

  public:
    // The host line, filled with the site.
    static constexpr const char* kHostFormat = "Log in to %1";

    LoginPanelDialog(const std::string& site, const std::string& defaultUser,
                     QWidget* parent = nullptr);

    QLabel* hostField() const { return m_host; }
    QLineEdit* userField() const { return m_user; }
    QLineEdit* passField() const { return m_pass; }
    // What the fields hold now.
    MimeFetcher::Login login() const;

    // The fetcher's login panel: runs one modally; nothing when cancelled.
    static std::optional<MimeFetcher::Login> run(const std::string& site,
                                                 const std::string& defaultUser);

  private:
    QLabel* m_host;
    QLineEdit* m_user;
    QLineEdit* m_pass;
};

}  // namespace quill
