// FindPanel: the one shared find panel. It holds the find text and the
// options (ignore case, regular expression, the "Summaries"/"Messages"
// scope) and passes Find, Find Backwards and Find All to the main mailbox
// window's message list, showing the search's progress, a Stop button while
// it runs, and its outcome in the status line.
#pragma once

#include <QWidget>

#include "reader/FindExpression.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace quill {

class MailReaderWindow;

class FindPanel : public QWidget {
    Q_OBJECT
  public:
    static FindPanel& shared();

    // Brings the panel forward with the find field selected; `byKeyboard`:
    // opened with a key command, so a successful Return hides it again.
    void showPanel(bool byKeyboard);
    FindOptions options() const;
    void setFindText(const QString& text);
    QString errorMsg() const;
    bool failed() const { return m_failed; }

    // Find (forward) and Find Backwards in the main mailbox window.
    void performFind();
    void performBackFind();
    void findAll();
    // A search of a window ended.
    void searchEnded(const QString& status, bool failed);
    void searchProgress(double fraction);

    QLineEdit* findField() const { return m_find; }
    QPushButton* stopButton() const { return m_stop; }

  private:
    explicit FindPanel(QWidget* parent = nullptr);
    QWidget* buildOptions();
    QWidget* buildButtons();
    void search(bool forward, bool all);
    void findReturn();

    QLineEdit* m_find = nullptr;
    QLineEdit* m_replace = nullptr;
    QCheckBox* m_ignoreCase = nullptr;
    QCheckBox* m_regExpr = nullptr;
    QRadioButton* m_messages = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_stop = nullptr;
    bool m_byKeyboard = false;
    bool m_hideWhenFound = false;
    bool m_failed = false;
};

}  // namespace quill
