#include "ui/reader/FindPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/Localized.h"
#include "ui/reader/MailReaderWindow.h"

namespace quill {
namespace {

QString ui(const char* text) { return QString::fromStdString(localized(kUITable, text)); }

}  // namespace

FindPanel& FindPanel::shared() {
    static FindPanel* panel = new FindPanel;
    return *panel;
}

FindPanel::FindPanel(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle(ui("Find"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    m_find = new QLineEdit(this);
    m_replace = new QLineEdit(this);
    m_replace->setEnabled(false);  // a message list is only searched
    fields->addRow(ui("Find:"), m_find);
    fields->addRow(ui("Replace:"), m_replace);
    layout->addLayout(fields);
    layout->addWidget(buildOptions());
    m_status = new QLabel(this);
    m_status->setMinimumHeight(2 * m_status->fontMetrics().height());
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->hide();
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(buildButtons());
    connect(m_find, &QLineEdit::returnPressed, this, &FindPanel::findReturn);
}

QWidget* FindPanel::buildOptions() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* switches = new QVBoxLayout;
    m_ignoreCase = new QCheckBox(ui("Ignore Case"), row);
    m_ignoreCase->setChecked(true);
    m_regExpr = new QCheckBox(ui("Regular Expression"), row);
    switches->addWidget(m_ignoreCase);
    switches->addWidget(m_regExpr);
    layout->addLayout(switches);
    auto* scope = new QGroupBox(ui("Find Scope"), row);
    auto* choices = new QVBoxLayout(scope);
    auto* summaries = new QRadioButton(ui("Summaries"), scope);
    summaries->setChecked(true);
    m_messages = new QRadioButton(ui("Messages"), scope);
    choices->addWidget(summaries);
    choices->addWidget(m_messages);
    layout->addWidget(scope);
    return row;
}

QWidget* FindPanel::buildButtons() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* replace = new QPushButton(ui("Replace"), row);
    replace->setEnabled(false);
    auto* all = new QPushButton(ui("Find All"), row);
    auto* previous = new QPushButton(ui("Previous"), row);
    auto* next = new QPushButton(ui("Next"), row);
    m_stop = new QPushButton(ui("Stop"), row);
    m_stop->hide();
    next->setDefault(true);
    for (QPushButton* b : {replace, all, previous, next, m_stop}) layout->addWidget(b);
    connect(all, &QPushButton::clicked, this, &FindPanel::findAll);
    connect(previous, &QPushButton::clicked, this, &FindPanel::performBackFind);
    connect(next, &QPushButton::clicked, this, &FindPanel::performFind);
    connect(m_stop, &QPushButton::clicked, this, [] {
        if (MailReaderWindow* window = MailReaderWindow::mainWindow()) window->interruptFind();
    });
    return row;
}

void FindPanel::showPanel(bool byKeyboard) {
    m_byKeyboard = byKeyboard;
    show();
    raise();
    activateWindow();
    m_find->setFocus();
    m_find->selectAll();
}

FindOptions FindPanel::options() const {
    FindOptions o;
    o.text = m_find->text().toLatin1().toStdString();
    o.ignoreCase = m_ignoreCase->isChecked();
    o.regExpr = m_regExpr->isChecked();
    o.searchMessages = m_messages->isChecked();
    return o;
}

void FindPanel::setFindText(const QString& text) { m_find->setText(text); }

QString FindPanel::errorMsg() const { return m_status->text(); }

void FindPanel::search(bool forward, bool all) {
    MailReaderWindow* window = MailReaderWindow::mainWindow();
    if (!window) {
        QApplication::beep();
        return;
    }
    m_status->clear();
    m_failed = false;
    bool focusHeld = QApplication::keyboardModifiers() & Qt::AltModifier;
    window->find(options(), forward, all, focusHeld);
}

void FindPanel::performFind() { search(true, false); }

void FindPanel::performBackFind() { search(false, false); }

void FindPanel::findAll() { search(true, true); }

void FindPanel::findReturn() {
    m_hideWhenFound = m_byKeyboard;
    performFind();
}

void FindPanel::searchProgress(double fraction) {
    bool running = fraction < 1.0;
    m_progress->setVisible(running);
    m_stop->setVisible(running);
    m_progress->setValue(static_cast<int>(fraction * 1000));
}

void FindPanel::searchEnded(const QString& status, bool failed) {
    searchProgress(1.0);
    m_status->setText(status);
    m_failed = failed;
    if (m_hideWhenFound && !failed) hide();
    m_hideWhenFound = false;
}

}  // namespace quill
