#include "ui/browser/MailboxBrowserWindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "platform/Localized.h"
#include "platform/Panels.h"
#include "process/ProcessLauncher.h"
#include "ui/addressbook/BrowserArrowDelegate.h"
#include "ui/browser/MailboxColumnModel.h"

namespace quill {
namespace {

QString ui(const char* text) { return QString::fromStdString(localized(kUITable, text)); }

constexpr int kColumnWidth = 180;
constexpr int kVisibleColumns = 3;

}  // namespace

MailboxBrowserWindow::MailboxBrowserWindow(std::string mailDirectory, MailboxBrowserHost& host,
                                           QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_browser(std::make_unique<MailboxBrowser>(std::move(mailDirectory), host, panels(),
                                                 processLauncher())) {
    setWindowTitle(ui("Mailboxes"));
    m_arrows = new BrowserArrowDelegate(this);
    auto* layout = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    auto* strip = new QWidget(scroll);
    m_columns = new QHBoxLayout(strip);
    m_columns->setContentsMargins(0, 0, 0, 0);
    m_columns->setSpacing(2);
    scroll->setWidget(strip);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(scroll, 1);
    layout->addWidget(buildControls());
    resize(kColumnWidth * kVisibleColumns + 40, 360);
}

MailboxBrowserWindow::~MailboxBrowserWindow() = default;

QWidget* MailboxBrowserWindow::buildControls() {
    auto* controls = new QWidget(this);
    auto* rows = new QVBoxLayout(controls);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(ui("Name:"), controls));
    m_name = new QLineEdit(controls);
    nameRow->addWidget(m_name, 1);
    rows->addLayout(nameRow);
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_browser->nameTextChanged(text.toStdString());
        refresh();
    });
    const std::pair<const char*, void (MailboxBrowser::*)()> buttons[] = {
        {"Transfer", &MailboxBrowser::transfer},
        {"Open", &MailboxBrowser::open},
        {"Delete", &MailboxBrowser::deleteSelected},
        {"New Folder", &MailboxBrowser::newFolder},
        {"New Mailbox", &MailboxBrowser::newMailbox}};
    auto* buttonRow = new QHBoxLayout;
    for (const auto& [title, action] : buttons) {
        auto* button = new QPushButton(ui(title), controls);
        connect(button, &QPushButton::clicked, this, [this, action] { perform(action); });
        buttonRow->addWidget(button);
        m_buttons.push_back(button);
    }
    rows->addLayout(buttonRow);
    return controls;
}

void MailboxBrowserWindow::perform(void (MailboxBrowser::*action)()) {
    ((*m_browser).*action)();
    m_name->setText(QString::fromStdString(m_browser->nameText()));
    refresh();
    m_name->setFocus();
}

void MailboxBrowserWindow::showPanel() {
    m_browser->show();
    refresh();
    show();
    raise();
    activateWindow();
    m_name->setFocus();
    m_name->selectAll();
}

QListView* MailboxBrowserWindow::column(int index) const {
    return index >= 0 && index < static_cast<int>(m_views.size()) ? m_views[index] : nullptr;
}

QPushButton* MailboxBrowserWindow::button(const QString& title) const {
    for (QPushButton* b : m_buttons)
        if (b->text() == ui(title.toLatin1().constData())) return b;
    return nullptr;
}

void MailboxBrowserWindow::clicked(int column, int row) {
    m_browser->select(column, row);
    refresh();
}

void MailboxBrowserWindow::refresh() {
    int count = std::max(m_browser->columnCount(), kVisibleColumns);
    while (static_cast<int>(m_views.size()) < count) {
        int c = static_cast<int>(m_views.size());
        auto* model = new MailboxColumnModel(*m_browser, c, this);
        auto* view = new QListView;
        view->setModel(model);
        view->setItemDelegate(m_arrows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setMinimumWidth(kColumnWidth);
        connect(view, &QListView::clicked, this,
                [this, c](const QModelIndex& index) { clicked(c, index.row()); });
        connect(view, &QListView::doubleClicked, this, [this] { perform(&MailboxBrowser::open); });
        m_columns->addWidget(view);
        m_views.push_back(view);
        m_models.push_back(model);
    }
    for (std::size_t c = 0; c < m_views.size(); ++c) {
        m_views[c]->setVisible(static_cast<int>(c) < count);
        m_models[c]->reload();
        int row = m_browser->selectedRow(static_cast<int>(c));
        if (row >= 0) m_views[c]->setCurrentIndex(m_models[c]->index(row));
    }
    MailboxBrowser::Buttons b = m_browser->buttons();
    const bool states[] = {b.transfer, b.open, b.remove, b.newFolder, b.newMailbox};
    for (std::size_t i = 0; i < m_buttons.size(); ++i) m_buttons[i]->setEnabled(states[i]);
}

void MailboxBrowserWindow::changeEvent(QEvent* event) {
    // Transfer follows which window is the main one.
    if (event->type() == QEvent::ActivationChange) refresh();
    QWidget::changeEvent(event);
}

}  // namespace quill
