#include "ui/settings/PreferencesWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/Localized.h"
#include "platform/UserInfo.h"

namespace quill {
namespace {

using Kind = Preferences::FieldKind;

QString ui(const std::string& text) { return QString::fromStdString(localized(kUITable, text)); }

// The tab a kind of field sits on.
int tabOf(Kind kind) {
    if (PreferenceKeyTable::isPath(kind)) return 0;
    if (kind == Kind::Text) return 1;
    if (kind == Kind::Boolean) return 3;
    return 2;
}

QWidget* scrolled(QWidget* page) {
    auto* area = new QScrollArea;
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

}  // namespace

PreferencesWindow::PreferencesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(ui("Preferences"));
    m_tabs = new QTabWidget;
    buildTabs(m_tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Reset | QDialogButtonBox::Apply |
                                         QDialogButtonBox::Close | QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Apply)->setText(tr("Set"));
    buttons->button(QDialogButtonBox::Reset)->setText(tr("Revert"));
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &PreferencesWindow::apply);
    connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this,
            &PreferencesWindow::revert);
    connect(buttons->button(QDialogButtonBox::Close), &QPushButton::clicked, this, &QWidget::close);
    connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
            &PreferencesWindow::applyAndClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    resize(640, 520);
    refresh();
}

void PreferencesWindow::buildTabs(QTabWidget* tabs) {
    const char* titles[] = {"Folders and Programs", "Text", "Numbers and Choices", "Options"};
    QWidget* pages[4];
    QFormLayout* forms[3];
    for (int i = 0; i < 4; ++i) {
        pages[i] = new QWidget;
        if (i < 3) forms[i] = new QFormLayout(pages[i]);
        tabs->addTab(scrolled(pages[i]), ui(titles[i]));
    }
    new QGridLayout(pages[3]);
    int switches = 0;
    for (const Preferences::Field& f : Preferences::fields()) {
        int tab = tabOf(f.kind);
        if (f.kind == Kind::Boolean) {
            addCheckBox(pages[3], switches++, f);
        } else if (f.kind == Kind::Choice) {
            addComboBox(forms[tab], f);
        } else {
            addLineEdit(forms[tab], f);
        }
    }
}

void PreferencesWindow::addLineEdit(QFormLayout* form, const Preferences::Field& f) {
    auto* edit = new QLineEdit;
    edit->setMinimumWidth(240);
    connect(edit, &QLineEdit::editingFinished, this,
            [this, edit, key = f.key] { edited(key, edit->text().toStdString()); });
    m_edits[f.key] = edit;
    if (!PreferenceKeyTable::isPath(f.kind)) {
        form->addRow(ui(f.label), edit);
        return;
    }
    auto* row = new QHBoxLayout;
    auto* browseButton = new QPushButton(tr("Browse..."));
    browseButton->setObjectName(QString::fromStdString("browse:" + f.key));
    connect(browseButton, &QPushButton::clicked, this, [this, &f] { browse(f); });
    row->addWidget(edit, 1);
    row->addWidget(browseButton);
    form->addRow(ui(f.label), row);
}

void PreferencesWindow::addComboBox(QFormLayout* form, const Preferences::Field& f) {
    auto* combo = new QComboBox;
    for (const std::string& option : f.options()) combo->addItem(QString::fromStdString(option));
    connect(combo, &QComboBox::currentTextChanged, this,
            [this, key = f.key](const QString& text) { edited(key, text.toStdString()); });
    m_combos[f.key] = combo;
    form->addRow(ui(f.label), combo);
}

void PreferencesWindow::addCheckBox(QWidget* page, int index, const Preferences::Field& f) {
    auto* box = new QCheckBox(ui(f.label));
    connect(box, &QCheckBox::toggled, this,
            [this, key = f.key](bool on) { m_prefs.edit(key, on ? "YES" : "NO"); });
    m_boxes[f.key] = box;
    // Two columns, filled down then across.
    int rows = 0;
    for (const Preferences::Field& other : Preferences::fields())
        rows += other.kind == Kind::Boolean ? 1 : 0;
    int perColumn = (rows + 1) / 2;
    static_cast<QGridLayout*>(page->layout())->addWidget(box, index % perColumn, index / perColumn);
}

void PreferencesWindow::browse(const Preferences::Field& f) {
    QLineEdit* edit = m_edits.at(f.key);
    QString start = QString::fromStdString(expandTilde(edit->text().toStdString()));
    bool folder =
        f.kind == Kind::MailDirectory || f.kind == Kind::SpoolDirectory || f.kind == Kind::Folder;
    QString chosen = folder ? QFileDialog::getExistingDirectory(this, ui(f.label), start)
                            : QFileDialog::getOpenFileName(this, ui(f.label), start);
    if (chosen.isEmpty()) return;
    edit->setText(chosen);
    edited(f.key, chosen.toStdString());
}

void PreferencesWindow::edited(const std::string& key, const std::string& text) {
    bool ok = m_prefs.edit(key, text);
    markInvalid(key, !ok);
    // A numeric field shows the number read from what was typed.
    if (QLineEdit* edit = lineEdit(key)) edit->setText(QString::fromStdString(m_prefs.value(key)));
}

QLineEdit* PreferencesWindow::lineEdit(const std::string& key) const {
    auto it = m_edits.find(key);
    return it == m_edits.end() ? nullptr : it->second;
}

QCheckBox* PreferencesWindow::checkBox(const std::string& key) const {
    auto it = m_boxes.find(key);
    return it == m_boxes.end() ? nullptr : it->second;
}

QComboBox* PreferencesWindow::comboBox(const std::string& key) const {
    auto it = m_combos.find(key);
    return it == m_combos.end() ? nullptr : it->second;
}

QWidget* PreferencesWindow::field(const std::string& key) const {
    if (QWidget* w = lineEdit(key)) return w;
    if (QWidget* w = checkBox(key)) return w;
    return comboBox(key);
}

void PreferencesWindow::markInvalid(const std::string& key, bool invalid) {
    QWidget* w = field(key);
    if (!w) return;
    w->setProperty("invalid", invalid);
    w->setStyleSheet(invalid ? "background: #ffd8d8;" : "");
}

bool PreferencesWindow::isMarkedInvalid(const std::string& key) const {
    QWidget* w = field(key);
    return w && w->property("invalid").toBool();
}

void PreferencesWindow::refresh() {
    for (auto& [key, edit] : m_edits) edit->setText(QString::fromStdString(m_prefs.value(key)));
    for (auto& [key, box] : m_boxes) {
        QSignalBlocker quiet(box);
        box->setChecked(m_prefs.value(key) == "YES");
    }
    for (auto& [key, combo] : m_combos) {
        QSignalBlocker quiet(combo);
        combo->setCurrentText(QString::fromStdString(m_prefs.value(key)));
    }
}

bool PreferencesWindow::apply() {
    bool ok = m_prefs.apply();
    for (const Preferences::Field& f : Preferences::fields()) markInvalid(f.key, false);
    for (const std::string& key : m_prefs.failedKeys()) markInvalid(key, true);
    refresh();
    if (!ok) {
        const std::string& first = m_prefs.failedKeys().front();
        m_tabs->setCurrentIndex(tabOf(PreferenceKeyTable::find(first)->kind));
        field(first)->setFocus();
    }
    return ok;
}

void PreferencesWindow::revert() {
    m_prefs.revert();
    for (const Preferences::Field& f : Preferences::fields()) markInvalid(f.key, false);
    refresh();
}

void PreferencesWindow::applyAndClose() {
    if (apply()) close();
}

void PreferencesWindow::closeEvent(QCloseEvent* event) {
    if (m_prefs.windowShouldClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace quill
