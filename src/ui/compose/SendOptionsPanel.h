// SendOptionsPanel: the one options panel of all compose windows. It edits
// the hidden fields of the window it follows: Reply-To, the archive switch
// and one more field chosen in a pop-up (Bcc or a user-defined header).
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace quill {

class ComposeWindow;

class SendOptionsPanel : public QWidget {
    Q_OBJECT
  public:
    static SendOptionsPanel& shared();
    static bool exists();

    // The panel edits this window from now on; it shows its values shortly after.
    void setCurSender(ComposeWindow* window);
    ComposeWindow* curSender() const { return m_sender; }
    void forget(ComposeWindow* window);
    // Window to panel, and panel to window.
    void upLoad();
    void downLoad();
    // The pop-up's fields: Bcc, then the user headers that have names.
    void updateUserFields();

    QLineEdit* replyToField() const { return m_replyTo; }
    QComboBox* fieldPopUp() const { return m_popUp; }
    QLineEdit* fieldText() const { return m_fieldText; }
    QCheckBox* archiveButton() const { return m_archive; }

  private:
    SendOptionsPanel();
    int curField() const;

    QPointer<ComposeWindow> m_sender;
    QLineEdit* m_replyTo = nullptr;
    QComboBox* m_popUp = nullptr;
    QLineEdit* m_fieldText = nullptr;
    QCheckBox* m_archive = nullptr;
    std::vector<int> m_popUpFields;
};

}  // namespace quill
