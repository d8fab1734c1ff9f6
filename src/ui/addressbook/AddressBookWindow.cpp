#include "ui/addressbook/AddressBookWindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <functional>

#include "platform/Localized.h"
#include "ui/addressbook/AddressBookColumnModel.h"
#include "ui/addressbook/BrowserArrowDelegate.h"

namespace quill {
namespace {

QString ui(const char* text) { return QString::fromStdString(localized(kUITable, text)); }

}  // namespace

AddressBookWindow::AddressBookWindow(Alias& alias, QWidget* parent)
    : QWidget(parent), m_alias(alias) {
    setWindowTitle(ui("Address Book"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildColumns(), 1);
    m_status = new QLabel(ui("Loading addresses..."), this);
    layout->addWidget(m_status);
    layout->addWidget(buildControls());
    resize(760, 460);
    m_alias.forkedInitialize();
    connect(&m_loading, &QTimer::timeout, this, &AddressBookWindow::waitForBook);
    m_loading.start(50);
    waitForBook();
}

AddressBookWindow::~AddressBookWindow() { m_alias.setWindowActive(false); }

QWidget* AddressBookWindow::buildColumns() {
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    auto* arrows = new BrowserArrowDelegate(this);
    for (int c = 0; c < AddressBookBrowser::kColumnCount; ++c) {
        m_models[c] = new AddressBookColumnModel(c, this);
        QListView* view = m_views[c] = new QListView(split);
        view->setModel(m_models[c]);
        view->setItemDelegate(arrows);
        view->setUniformItemSizes(true);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setMinimumWidth(160);
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, c](const QModelIndex& index) {
                    if (!m_refreshing && index.isValid()) clicked(c, index.row());
                });
    }
    return split;
}

QWidget* AddressBookWindow::buildControls() {
    auto* controls = new QWidget(this);
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(ui("Name:"), controls));
    m_name = new QLineEdit(controls);
    row->addWidget(m_name, 1);
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!m_browser) return;
        int column = m_browser->currentColumn();
        if (m_browser->typeAhead(text.toStdString()) >= 0) refresh(column + 1);
    });
    auto text = [this] { return m_name->text().toStdString(); };
    const std::pair<const char*, std::function<void()>> buttons[] = {
        {"Add",
         [this, text] {
             m_browser->add(text());
             refresh(1);
         }},
        {"Remove",
         [this] {
             m_browser->remove();
             refresh(1);
         }},
        {"Find",
         [this, text] {
             m_browser->find(text());
             refresh(1);
         }},
        {"Save", [this] { m_browser->save(); }},
        {"To", [this] { m_browser->append(false); }},
        {"Cc", [this] { m_browser->append(true); }},
    };
    for (const auto& [title, action] : buttons) {
        auto* button = new QPushButton(QString::fromStdString(localized(kButtonsTable, title)));
        row->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, action] {
            if (m_browser) action();
        });
    }
    return controls;
}

QPushButton* AddressBookWindow::button(const QString& title) const {
    for (QPushButton* b : findChildren<QPushButton*>()) {
        if (b->text() == title) return b;
    }
    return nullptr;
}

void AddressBookWindow::waitForBook() {
    if (!m_alias.loaded()) return;
    m_loading.stop();
    m_browser = std::make_unique<AddressBookBrowser>(m_alias);
    m_browser->windowWillShow();
    for (AddressBookColumnModel* model : m_models) model->setBrowser(m_browser.get());
    m_status->hide();
    refresh();
}

void AddressBookWindow::clicked(int column, int row) {
    m_browser->select(column, row);
    refresh(column + 1);
}

void AddressBookWindow::refresh(int fromColumn) {
    m_refreshing = true;
    for (int c = fromColumn; c < AddressBookBrowser::kColumnCount; ++c) m_models[c]->reload();
    for (int c = 0; c < AddressBookBrowser::kColumnCount; ++c) {
        int row = m_browser->selectedRow(c);
        QListView* view = m_views[c];
        if (row < 0) {
            view->clearSelection();
            continue;
        }
        QModelIndex index = m_models[c]->index(row);
        view->setCurrentIndex(index);
        view->scrollTo(index);
    }
    m_refreshing = false;
}

void AddressBookWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_browser) return;
    m_browser->windowWillShow();
    refresh();
}

void AddressBookWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    m_alias.setWindowActive(isActiveWindow());
    // Names added from a mailbox window meanwhile show up.
    if (isActiveWindow() && m_browser) {
        m_browser->windowWillShow();
        refresh();
    }
}

}  // namespace quill
