#include "ui/settings/PreferencesWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Localized.h"

namespace quill {

PreferencesWindow::PreferencesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(localized(kUITable, "Preferences")));
    auto* form = new QFormLayout;
    for (const Preferences::Field& f : Preferences::fields()) {
        QString label = QString::fromStdString(localized(kUITable, f.label));
        if (f.kind == Preferences::FieldKind::Boolean) {
            auto* box = new QCheckBox(label);
            connect(box, &QCheckBox::toggled, this,
                    [this, key = f.key](bool on) { m_prefs.edit(key, on ? "YES" : "NO"); });
            m_boxes[f.key] = box;
            form->addRow(QString(), box);
        } else {
            auto* edit = new QLineEdit;
            edit->setMinimumWidth(320);
            connect(edit, &QLineEdit::editingFinished, this, [this, edit, key = f.key] {
                m_prefs.edit(key, edit->text().toStdString());
                // A numeric field shows the number read from what was typed.
                edit->setText(QString::fromStdString(m_prefs.value(key)));
            });
            m_edits[f.key] = edit;
            form->addRow(label, edit);
        }
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Reset);
    buttons->button(QDialogButtonBox::Apply)->setText(tr("Set"));
    buttons->button(QDialogButtonBox::Reset)->setText(tr("Revert"));
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &PreferencesWindow::apply);
    connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this,
            &PreferencesWindow::revert);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    refresh();
}

QLineEdit* PreferencesWindow::lineEdit(const std::string& key) const {
    auto it = m_edits.find(key);
    return it == m_edits.end() ? nullptr : it->second;
}

QCheckBox* PreferencesWindow::checkBox(const std::string& key) const {
    auto it = m_boxes.find(key);
    return it == m_boxes.end() ? nullptr : it->second;
}

void PreferencesWindow::refresh() {
    for (auto& [key, edit] : m_edits) edit->setText(QString::fromStdString(m_prefs.value(key)));
    for (auto& [key, box] : m_boxes) {
        QSignalBlocker quiet(box);
        box->setChecked(m_prefs.value(key) == "YES");
    }
}

void PreferencesWindow::apply() {
    m_prefs.apply();
    refresh();
}

void PreferencesWindow::revert() {
    m_prefs.revert();
    refresh();
}

void PreferencesWindow::closeEvent(QCloseEvent* event) {
    if (m_prefs.windowShouldClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace quill
