// PreferencesWindow: edits the user's settings through the core's Preferences,
// which checks each field as it is edited and asks before closing with
// changes not yet applied.
#pragma once

#include <QWidget>
#include <map>

#include "settings/Preferences.h"

class QLineEdit;
class QCheckBox;

namespace quill {

class PreferencesWindow : public QWidget {
    Q_OBJECT
  public:
    explicit PreferencesWindow(QWidget* parent = nullptr);

    Preferences& preferences() { return m_prefs; }
    QLineEdit* lineEdit(const std::string& key) const;
    QCheckBox* checkBox(const std::string& key) const;
    void apply();
    void revert();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void refresh();

    Preferences m_prefs;
    std::map<std::string, QLineEdit*> m_edits;
    std::map<std::string, QCheckBox*> m_boxes;
};

}  // namespace quill
