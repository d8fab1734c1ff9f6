// PreferencesWindow: edits every user setting through the core's Preferences,
// one field per row of the key table (paths with a Browse button, numbers,
// choices, text and switches on their own tabs). Fields are checked as they
// are edited; Set applies, Revert forgets, OK applies and closes, and closing
// with changes not yet applied asks first. A field that could not be set is
// marked and shown.
#pragma once

#include <QWidget>
#include <map>

#include "settings/Preferences.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QTabWidget;

namespace quill {

class PreferencesWindow : public QWidget {
    Q_OBJECT
  public:
    explicit PreferencesWindow(QWidget* parent = nullptr);

    Preferences& preferences() { return m_prefs; }
    QLineEdit* lineEdit(const std::string& key) const;
    QCheckBox* checkBox(const std::string& key) const;
    QComboBox* comboBox(const std::string& key) const;
    // The widget editing a key, whatever its kind.
    QWidget* field(const std::string& key) const;
    bool isMarkedInvalid(const std::string& key) const;
    bool apply();
    void revert();
    void applyAndClose();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildTabs(QTabWidget* tabs);
    void addLineEdit(QFormLayout* form, const Preferences::Field& f);
    void addComboBox(QFormLayout* form, const Preferences::Field& f);
    void addCheckBox(QWidget* page, int index, const Preferences::Field& f);
    void browse(const Preferences::Field& f);
    void edited(const std::string& key, const std::string& text);
    void markInvalid(const std::string& key, bool invalid);
    void refresh();

    Preferences m_prefs;
    QTabWidget* m_tabs = nullptr;
    std::map<std::string, QLineEdit*> m_edits;
    std::map<std::string, QCheckBox*> m_boxes;
    std::map<std::string, QComboBox*> m_combos;
};

}  // namespace quill
