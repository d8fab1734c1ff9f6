#include "ui/platform/QtPanels.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include "ui/platform/QtText.h"

namespace quill {
namespace {

class QtProgressPanel : public ProgressPanel {
  public:
    QtProgressPanel(QWidget* parent, const std::string& title, const std::string& message,
                    bool cancellable)
        : m_dialog(utf8Text(message), cancellable ? QObject::tr("Cancel") : QString(), 0, 1000,
                   parent) {
        m_dialog.setWindowTitle(utf8Text(title));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(300);
        m_dialog.setValue(0);
    }
    void setMessage(const std::string& message) override {
        m_dialog.setLabelText(utf8Text(message));
        QCoreApplication::processEvents();
    }
    void setFraction(double fraction) override {
        if (fraction < 0) {
            m_dialog.setRange(0, 0);
        } else {
            m_dialog.setValue(static_cast<int>(fraction * 1000));
        }
        // Long core operations report here; letting events through keeps Cancel alive.
        QCoreApplication::processEvents();
    }
    bool cancelled() const override { return m_dialog.wasCanceled(); }

  private:
    QProgressDialog m_dialog;
};

}  // namespace

int QtPanels::runAlert(const AlertRequest& request) {
    QMessageBox box(m_parent);
    box.setWindowTitle(utf8Text(request.title));
    box.setText(utf8Text(request.message));
    box.setIcon(request.buttons.size() > 1 ? QMessageBox::Question : QMessageBox::Warning);
    std::vector<QAbstractButton*> buttons;
    static const QMessageBox::ButtonRole roles[] = {
        QMessageBox::AcceptRole, QMessageBox::RejectRole, QMessageBox::DestructiveRole};
    for (size_t i = 0; i < request.buttons.size() && i < 3; ++i) {
        buttons.push_back(box.addButton(utf8Text(request.buttons[i]), roles[i]));
    }
    if (buttons.empty()) buttons.push_back(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
    }
    // Closed without a button (Escape): the last button is the safe answer.
    return static_cast<int>(buttons.size()) - 1;
}

std::unique_ptr<ProgressPanel> QtPanels::beginProgress(const std::string& title,
                                                       const std::string& message,
                                                       bool cancellable) {
    return std::make_unique<QtProgressPanel>(m_parent, title, message, cancellable);
}

void QtPanels::beep() { QApplication::beep(); }

std::vector<std::string> QtPanels::runOpenPanel(const OpenPanelRequest& request) {
    QStringList chosen;
    QString title = utf8Text(request.title), dir = utf8Text(request.directory);
    if (request.chooseDirectories) {
        QString d = QFileDialog::getExistingDirectory(m_parent, title, dir);
        if (!d.isEmpty()) chosen << d;
    } else if (request.allowMultiple) {
        chosen = QFileDialog::getOpenFileNames(m_parent, title, dir);
    } else {
        QString f = QFileDialog::getOpenFileName(m_parent, title, dir);
        if (!f.isEmpty()) chosen << f;
    }
    std::vector<std::string> out;
    for (const QString& s : chosen) out.push_back(s.toStdString());
    return out;
}

}  // namespace quill
