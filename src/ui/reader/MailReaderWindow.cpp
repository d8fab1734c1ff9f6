#include "ui/reader/MailReaderWindow.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/MailDriver.h"
#include "platform/Panels.h"
#include "platform/Workspace.h"
#include "settings/Defaults.h"
#include "ui/RichTextDocument.h"
#include "ui/reader/TocMatrixModel.h"

namespace quill {

using Command = MailReader::Command;

MailReaderWindow::MailReaderWindow(std::shared_ptr<MailReader> reader, QWidget* parent)
    : QMainWindow(parent), m_reader(std::move(reader)) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_model = new TocMatrixModel(m_reader->matrix(), this);
    m_list = new QTreeView;
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSortingEnabled(false);
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    connect(m_list->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_model->sort(column, Qt::AscendingOrder); });
    m_text = new QTextBrowser;
    m_text->setOpenLinks(false);
    m_text->document()->setDocumentMargin(10);
    m_text->viewport()->installEventFilter(this);
    m_text->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_text, &QWidget::customContextMenuRequested, this, &MailReaderWindow::showTextMenu);

    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(m_list);
    split->addWidget(m_text);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    setCentralWidget(split);
    m_status = new QLabel;
    statusBar()->addWidget(m_status, 1);
    resize(860, 640);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MailReaderWindow::selectionChangedByUser);
    buildMenus();
    m_reader->setView(this);
    listChanged();
    m_list->setColumnWidth(TocMatrixModel::Marks, 56);
    m_list->setColumnWidth(TocMatrixModel::From, 200);
    m_list->setColumnWidth(TocMatrixModel::Date, 70);
    m_list->header()->setSectionResizeMode(TocMatrixModel::Subject, QHeaderView::Stretch);
    scrollToRow(m_reader->matrix().rowCount() - 1);
}

MailReaderWindow::~MailReaderWindow() { m_reader->setView(nullptr); }

QAction* MailReaderWindow::addCommand(QMenu* menu, const QString& title, Command command,
                                      const QKeySequence& shortcut) {
    QAction* a = menu->addAction(title);
    a->setShortcut(shortcut);
    connect(a, &QAction::triggered, this, [this, command] {
        bool control = QApplication::keyboardModifiers() & Qt::ControlModifier;
        m_reader->perform(command, control);
        validateActions();
    });
    m_actions[command] = a;
    return a;
}

void MailReaderWindow::buildMenus() {
    QMenu* mailbox = menuBar()->addMenu(tr("&Mailbox"));
    mailbox->addAction(tr("&Open..."), QKeySequence::Open, this,
                       [this] { emit openMailboxRequested(); });
    mailbox->addAction(tr("Check for &New Mail"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                       this, [] { MailDriver::shared().checkNewMail(true); });
    addCommand(mailbox, tr("&Compact"), Command::Compact);
    mailbox->addAction(tr("&Print..."), QKeySequence::Print, this, &MailReaderWindow::printPanel);
    mailbox->addSeparator();
    mailbox->addAction(tr("&Preferences..."), QKeySequence::Preferences, this,
                       [this] { emit preferencesRequested(); });
    mailbox->addAction(tr("&Close"), QKeySequence::Close, this, &QWidget::close);
    mailbox->addAction(tr("&Quit"), QKeySequence::Quit, this,
                       [] { MailDriver::shared().terminate(); });

    QMenu* message = menuBar()->addMenu(tr("M&essage"));
    addCommand(message, tr("&Next"), Command::NextMsg, QKeySequence(Qt::CTRL | Qt::Key_Down));
    addCommand(message, tr("&Previous"), Command::PreviousMsg, QKeySequence(Qt::CTRL | Qt::Key_Up));
    addCommand(message, tr("Next &Unread"), Command::FindUnread, QKeySequence(Qt::Key_N));
    message->addSeparator();
    addCommand(message, tr("&Reply"), Command::Reply, QKeySequence(Qt::CTRL | Qt::Key_R));
    addCommand(message, tr("Reply to &All"), Command::ReplyAll,
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    addCommand(message, tr("&Forward"), Command::Forward, QKeySequence(Qt::CTRL | Qt::Key_L));
    addCommand(message, tr("Wrap and Reply"), Command::WrapAndReply);
    addCommand(message, tr("Restore Draft"), Command::RestoreDraft);
    addCommand(message, tr("Transfer..."), Command::Transfer);
    addCommand(message, tr("Add Private User"), Command::AddPrivateUser);
    message->addSeparator();
    addCommand(message, tr("&Delete"), Command::DeleteMsg, QKeySequence::Delete);
    addCommand(message, tr("Delete and Ne&xt"), Command::DeleteOne,
               QKeySequence(Qt::CTRL | Qt::Key_D));
    addCommand(message, tr("U&ndelete"), Command::UndeleteMsg, QKeySequence::Undo);
    message->addSeparator();
    addCommand(message, tr("Mark as Read"), Command::ToggleMarkedAsRead, QKeySequence(Qt::Key_M));
    addCommand(message, tr("Flag"), Command::ToggleFlagged, QKeySequence(Qt::Key_S));
    message->addSeparator();
    addCommand(message, tr("Show Plain &Text"), Command::ShowPlainMessage);
    QMenu* alternatives = message->addMenu(tr("Alternative"));
    m_actions[Command::SelectMimeAlternative] = alternatives->menuAction();
    const std::pair<QString, int> choices[] = {
        {tr("Show Last"), 0}, {tr("Show First"), 1}, {tr("Show All"), 2}};
    for (const auto& [title, choice] : choices) {
        alternatives->addAction(title, this,
                                [this, choice] { m_reader->selectMimeAlternative(choice); });
    }
    addCommand(message, tr("Decode Foreign Attachment"), Command::ExtractAttachment);
    addCommand(message, tr("Combine Partial Messages"), Command::CombinePartialMessages);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    addCommand(view, tr("Show All Headers"), Command::ToggleShowingAllHeaders,
               QKeySequence(Qt::CTRL | Qt::Key_H));
    addCommand(view, tr("Show Deleted"), Command::ToggleShowingDeletions);
    addCommand(view, tr("Show Sizes"), Command::ToggleShowingSizes);
    view->addSeparator();
    addCommand(view, tr("&Focus on Selection"), Command::Focus, QKeySequence(Qt::CTRL | Qt::Key_F));
    addCommand(view, tr("Show &All Messages"), Command::Unfocus,
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));

    QMenu* sort = view->addMenu(tr("&Sort"));
    using K = TocMatrix::SortKey;
    std::vector<std::pair<QString, K>> sorts = {{tr("Sort by Number"), K::Number},
                                                {tr("Sort by Date"), K::Date},
                                                {tr("Sort by Name"), K::Name},
                                                {tr("Sort by Subject"), K::Subject},
                                                {tr("Sort by Size"), K::Size}};
    // Priorities mean something only when a priority header is configured.
    if (!Defaults::shared().priorityHeader().empty())
        sorts.push_back({tr("Sort by Priority"), K::Priority});
    for (const auto& [title, key] : sorts) {
        sort->addAction(title, this, [this, key] { m_reader->matrix().sortBy(key); });
    }

    for (QMenu* menu : {mailbox, message, view}) {
        connect(menu, &QMenu::aboutToShow, this, &MailReaderWindow::validateActions);
    }
}

QAction* MailReaderWindow::action(Command command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void MailReaderWindow::validateActions() {
    for (auto& [command, a] : m_actions) {
        MailReader::ItemState state = m_reader->validateItem(command);
        a->setEnabled(state.enabled);
        if (!state.title.empty()) a->setText(QString::fromStdString(state.title));
    }
}

void MailReaderWindow::selectionChangedByUser() {
    if (m_syncing) return;
    std::set<int> rows;
    for (const QModelIndex& i : m_list->selectionModel()->selectedRows()) rows.insert(i.row());
    m_reader->matrix().selectRows(rows);
    m_reader->selectionDidChange();
    validateActions();
}

void MailReaderWindow::listChanged() {
    m_syncing = true;
    if (!m_model->reload()) m_list->viewport()->update();
    QItemSelection selection;
    int last = m_model->columnCount() - 1;
    const std::set<int>& rows = m_reader->matrix().selectedRows();
    for (auto it = rows.begin(); it != rows.end();) {
        int first = *it, end = *it;
        while (++it != rows.end() && *it == end + 1) ++end;
        selection.select(m_model->index(first, 0), m_model->index(end, last));
    }
    m_list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty()) {
        m_list->selectionModel()->setCurrentIndex(m_model->index(*rows.begin(), 0),
                                                  QItemSelectionModel::NoUpdate);
    }
    m_syncing = false;
    validateActions();
}

void MailReaderWindow::scrollToRow(int row) {
    if (row >= 0) m_list->scrollTo(m_model->index(row, 0));
}

void MailReaderWindow::messageChanged() {
    RichTextDocument::fill(*m_text->document(), m_reader->text().richText());
    m_text->document()->setDocumentMargin(10);
    validateActions();
}

void MailReaderWindow::setStatusText(const std::string& text) {
    m_status->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
}

void MailReaderWindow::setStatusLineVisible(bool visible) { statusBar()->setVisible(visible); }

void MailReaderWindow::setTitle(const std::string& title) {
    setWindowTitle(QString::fromLatin1(title.data(), qsizetype(title.size())));
}

void MailReaderWindow::orderFront() {
    show();
    raise();
    activateWindow();
}

void MailReaderWindow::closeWindow() { close(); }

void MailReaderWindow::printTo(QPrinter& printer, int scope) {
    TextView text;
    m_reader->textWillPrint(scope, text);
    std::unique_ptr<QTextDocument> document = RichTextDocument::create(text.richText());
    document->print(&printer);
}

void MailReaderWindow::printPanel() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    // The print scope: the selected messages, or the list's summaries.
    auto* scopeTab = new QWidget;
    scopeTab->setWindowTitle(tr("Quill"));
    auto* messages = new QRadioButton(tr("Messages"));
    auto* summaries = new QRadioButton(tr("Summaries"));
    messages->setChecked(true);
    auto* layout = new QVBoxLayout(scopeTab);
    layout->addWidget(messages);
    layout->addWidget(summaries);
    dialog.setOptionTabs({scopeTab});
    if (dialog.exec() != QDialog::Accepted) return;
    printTo(printer,
            summaries->isChecked() ? MailReader::kPrintSummaries : MailReader::kPrintMessages);
}

std::string MailReaderWindow::attachmentAt(const QPoint& viewportPos) const {
    // The cursor stands between characters; the cell may be on either side.
    // The document holds the reader's text position for position.
    int position = m_text->cursorForPosition(viewportPos).position();
    std::string path =
        position > 0 ? m_reader->attachmentFileAt(static_cast<size_t>(position - 1)) : "";
    return path.empty() ? m_reader->attachmentFileAt(static_cast<size_t>(position)) : path;
}

bool MailReaderWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        std::string path = attachmentAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (!path.empty()) {
            workspace().openFile(path);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MailReaderWindow::showTextMenu(const QPoint& pos) {
    std::unique_ptr<QMenu> menu(m_text->createStandardContextMenu(pos));
    std::string path = attachmentAt(pos);
    if (!path.empty()) {
        QString source = QString::fromStdString(path);
        menu->addSeparator();
        menu->addAction(tr("Open Attachment"), this, [path] { workspace().openFile(path); });
        menu->addAction(tr("Save As..."), this, [this, source] {
            QString target =
                QFileDialog::getSaveFileName(this, tr("Save As"), QFileInfo(source).fileName());
            if (!target.isEmpty() && !QFile::copy(source, target)) {
                runAlert("Save", "Could not save %s.", "OK", nullptr, nullptr,
                         target.toUtf8().constData());
            }
        });
    }
    menu->exec(m_text->viewport()->mapToGlobal(pos));
}

void MailReaderWindow::closeEvent(QCloseEvent* event) {
    MailDriver::shared().removeMailWindow(m_reader.get());
    event->accept();
}

}  // namespace quill
