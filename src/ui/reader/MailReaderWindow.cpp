#include "ui/reader/MailReaderWindow.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextFrame>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/MailDriver.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "reader/ReaderCommandTable.h"
#include "settings/Defaults.h"
#include "ui/app/QtApplicationShell.h"
#include "ui/compose/ComposeWindow.h"
#include "ui/links/LinkButtonClicks.h"
#include "ui/links/X11BrowserRemote.h"
#include "ui/platform/QtText.h"
#include "ui/reader/FindPanel.h"
#include "ui/reader/ListFindRunner.h"
#include "ui/reader/MessageListView.h"
#include "ui/reader/TocMatrixModel.h"
#include "ui/richtext/RichTextDocument.h"

namespace quill {

using Command = MailReader::Command;

namespace {
// Room between the text pane's edge and the text.
constexpr int kTextMargin = 14;

QPointer<MailReaderWindow>& lastActive() {
    static QPointer<MailReaderWindow> window;
    return window;
}
}  // namespace

MailReaderWindow* MailReaderWindow::mainWindow() { return lastActive(); }

MailReaderWindow::MailReaderWindow(std::shared_ptr<MailReader> reader, QWidget* parent)
    : QMainWindow(parent), m_reader(std::move(reader)) {
    setAttribute(Qt::WA_DeleteOnClose);
    buildList();
    m_text = new QTextBrowser;
    m_text->setOpenLinks(false);
    m_text->viewport()->installEventFilter(this);
    static X11BrowserRemote browser;
    new LinkButtonClicks(m_text, &browser);
    m_text->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_text, &QWidget::customContextMenuRequested, this, &MailReaderWindow::showTextMenu);
    // The command view: who sent the shown message, and when.
    m_summary = new QLabel;
    m_summary->setTextFormat(Qt::RichText);
    m_summary->setContentsMargins(kTextMargin, 4, kTextMargin, 4);
    m_summary->hide();
    auto* lower = new QWidget;
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    lowerLayout->addWidget(m_summary);
    lowerLayout->addWidget(m_text);

    m_split = new QSplitter(Qt::Vertical);
    m_split->addWidget(m_list);
    m_split->addWidget(lower);
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);
    setCentralWidget(m_split);
    m_status = new QLabel;
    statusBar()->addWidget(m_status, 1);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MailReaderWindow::selectionChangedByUser);
    buildMenus();
    m_reader->setView(this);
    listChanged();
    messageChanged();
    m_list->setColumnWidth(TocMatrixModel::Marks, 56);
    m_list->setColumnWidth(TocMatrixModel::Priority, 40);
    m_list->setColumnWidth(TocMatrixModel::From, 200);
    m_list->setColumnWidth(TocMatrixModel::Date, 70);
    m_list->header()->setSectionResizeMode(TocMatrixModel::Subject, QHeaderView::Stretch);
    // Priorities mean something only when a priority header is set.
    m_list->setColumnHidden(TocMatrixModel::Priority, Defaults::shared().priorityHeader().empty());
    placeWindow();
    scrollToRow(m_reader->matrix().rowCount() - 1);
    m_finder = new ListFindRunner(*m_reader, this);
    connect(m_finder, &ListFindRunner::progress, this,
            [](double fraction) { FindPanel::shared().searchProgress(fraction); });
    connect(m_finder, &ListFindRunner::finished, this, [](const QString& status, bool failed) {
        FindPanel::shared().searchEnded(status, failed);
    });
    if (!lastActive()) lastActive() = this;
}

void MailReaderWindow::find(const FindOptions& options, bool forward, bool all, bool focusHeld) {
    m_finder->start(options, forward, all, focusHeld);
}

void MailReaderWindow::interruptFind() { m_finder->interrupt(); }

void MailReaderWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) lastActive() = this;
    QMainWindow::changeEvent(event);
}

MailReaderWindow::~MailReaderWindow() {
    delete m_finder;  // it works on the reader, which may go with this window
    m_reader->setView(nullptr);
}

void MailReaderWindow::buildList() {
    m_model = new TocMatrixModel(m_reader->matrix(), this);
    m_list = new MessageListView;
    m_list->setModel(m_model);
    QHeaderView* header = m_list->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { m_model->sort(column, Qt::AscendingOrder); });
}

// The frame recorded in the index, kept wholly on the screen it was on (or the
// primary one when that screen is gone), with the list at its recorded height.
void MailReaderWindow::placeWindow() {
    const tocformat::WindowFrame& f = m_reader->savedFrame();
    QRect wanted(int(f.x), int(f.y), int(f.width), int(f.height));
    // A mailbox shown for the first time opens over the window it was opened from.
    QWidget* parent = QApplication::activeWindow();
    if (!m_reader->hasRecordedFrame() && parent && parent != this) {
        resize(wanted.size());
        QtApplicationShell::centreOn(this, parent);
        wanted = geometry();
    }
    QtApplicationShell::placeOnScreen(this, wanted);
    int listHeight = std::max(60, int(m_reader->savedTocHeight()));
    m_split->setSizes({listHeight, std::max(100, height() - listHeight)});
}

bool MailReaderWindow::windowFrame(tocformat::WindowFrame& frame, float& tocHeight) const {
    if (!isVisible()) return false;
    QRect g = geometry();
    frame = {float(g.x()), float(g.y()), float(g.width()), float(g.height())};
    tocHeight = float(m_split->sizes().value(0));
    return true;
}

void MailReaderWindow::performFromMenu(Command command) {
    m_reader->settleDisplay();
    if (ReaderCommandTable::performedByWindow(command)) {
        performWindowCommand(command);
        return;
    }
    bool control = QApplication::keyboardModifiers() & Qt::ControlModifier;
    m_reader->perform(command, control);
    validateActions();
}

void MailReaderWindow::performWindowCommand(Command command) {
    switch (command) {
        case Command::OpenMailbox:
            return emit openMailboxRequested();
        case Command::Print:
            return printPanel();
        case Command::Preferences:
            return emit preferencesRequested();
        case Command::AddressBook:
            return emit addressBookRequested();
        case Command::Transfer:
            return transferPanel();
        case Command::Paste:
            return m_reader->pasteText(
                QGuiApplication::clipboard()->text().toLatin1().toStdString());
        case Command::Mailboxes:
            return emit mailboxesRequested();
        case Command::Find:
            lastActive() = this;
            FindPanel::shared().showPanel(std::exchange(m_findByKey, false));
            return;
        case Command::FindNext:
            lastActive() = this;
            return FindPanel::shared().performFind();
        case Command::FindPrevious:
            lastActive() = this;
            return FindPanel::shared().performBackFind();
        case Command::CloseWindow:
            close();
            return;
        case Command::Quit:
            return MailDriver::shared().terminate();
        case Command::NewMessage:
        case Command::Reply:
        case Command::ReplyAll:
        case Command::Forward:
        case Command::WrapAndReply:
        case Command::RestoreDraft:
            ComposeWindow::perform(m_reader, command);
            return;
        default:
            return;
    }
}

// A plain directory chooser until the mailbox browser offers its own.
void MailReaderWindow::transferPanel() {
    QString dir = QFileDialog::getExistingDirectory(
        this, tr("Transfer"), latin1Text(m_reader->defaults().mailDirectory()));
    if (!dir.isEmpty()) m_reader->transferTo(QFile::encodeName(dir).toStdString());
}

void MailReaderWindow::buildMenus() {
    std::map<std::string, QMenu*> menus;
    std::map<std::string, QMenu*> submenus;
    for (const ReaderCommandTable::Row& row : ReaderCommandTable::rows()) {
        QMenu*& menu = menus[row.menu];
        if (!menu) {
            menu = menuBar()->addMenu(tr(row.menu));
            connect(menu, &QMenu::aboutToShow, this, &MailReaderWindow::validateActions);
        }
        QMenu* into = menu;
        if (row.submenu) {
            QMenu*& sub = submenus[std::string(row.menu) + "/" + row.submenu];
            if (!sub) sub = menu->addMenu(tr(row.submenu));
            into = sub;
        }
        if (row.separatorBefore) into->addSeparator();
        QAction* a = into->addAction(QString::fromStdString(localized(kUITable, row.title)));
        a->setShortcut(QKeySequence(QString::fromLatin1(row.key), QKeySequence::PortableText));
        a->setShortcutVisibleInContextMenu(true);
        Command command = row.command;
        connect(a, &QAction::triggered, this, [this, command] { performFromMenu(command); });
        m_actions[command] = a;
        if (command == Command::Find) a->installEventFilter(this);
    }
    for (auto& [name, submenu] : submenus) m_submenus.push_back(submenu);
}

QAction* MailReaderWindow::action(Command command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void MailReaderWindow::validateActions() {
    for (auto& [command, a] : m_actions) {
        MailReader::ItemState state = m_reader->validateItem(command);
        a->setEnabled(state.enabled);
        a->setVisible(state.listed);
        if (!state.title.empty()) a->setText(QString::fromStdString(state.title));
    }
    // A submenu is available while any of its commands is.
    for (QMenu* submenu : m_submenus) {
        const QList<QAction*> items = submenu->actions();
        submenu->menuAction()->setEnabled(
            std::any_of(items.begin(), items.end(), [](QAction* a) { return a->isEnabled(); }));
    }
}

void MailReaderWindow::selectionChangedByUser() {
    if (m_syncing) return;
    std::set<int> rows;
    for (const QModelIndex& i : m_list->selectionModel()->selectedRows()) rows.insert(i.row());
    m_reader->matrix().selectRows(rows);
    m_reader->selectionDidChange(m_list->movingByKey());
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
    sortIndicatorFromMatrix();
    validateActions();
}

void MailReaderWindow::sortIndicatorFromMatrix() {
    const TocMatrix& matrix = m_reader->matrix();
    m_list->header()->setSortIndicator(
        TocMatrixModel::columnFor(matrix.sortKey()),
        matrix.sortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MailReaderWindow::scrollToRow(int row) {
    if (row >= 0) m_list->scrollTo(m_model->index(row, 0));
}

void MailReaderWindow::messageChanged() {
    QTextDocument* document = m_text->document();
    RichTextDocument::fill(*document, m_reader->text().richText());
    // The text's own margins count from a small border, not from the pane's edge.
    QTextFrameFormat frame = document->rootFrame()->frameFormat();
    frame.setLeftMargin(frame.leftMargin() + kTextMargin);
    frame.setRightMargin(frame.rightMargin() + kTextMargin);
    frame.setTopMargin(frame.topMargin() + kTextMargin / 2);
    document->rootFrame()->setFrameFormat(frame);
    if (m_reader->fixedFont()) applyFixedFont();
    validateActions();
}

// Plain text (set in the default face) in the fixed-width face; rich text
// keeps the faces it chose.
void MailReaderWindow::applyFixedFont() {
    QTextDocument* document = m_text->document();
    QString plainFace = QString::fromStdString(CharFormat{}.font);
    std::vector<std::pair<int, int>> plain;  // ranges, gathered before any change
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment f = it.fragment();
            if (f.charFormat().fontFamilies().toStringList().value(0) == plainFace)
                plain.emplace_back(f.position(), f.position() + f.length());
        }
    }
    QTextCharFormat fixed;
    fixed.setFontFamilies({QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
    QTextCursor cursor(document);
    for (const auto& [start, end] : plain) {
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(fixed);
    }
}

void MailReaderWindow::setMessageSummary(const std::string& sender, const std::string& date) {
    QString who = latin1Text(sender).toHtmlEscaped();
    QString when = latin1Text(date).toHtmlEscaped();
    m_summary->setText(QString("<b>%1</b>&nbsp;&nbsp;&nbsp;%2").arg(who, when));
    m_summary->setVisible(!sender.empty() || !date.empty());
}

void MailReaderWindow::setMiniature(const std::string& imageName) {
    m_miniature = imageName;
    setWindowIcon(QtApplicationShell::iconFor(imageName == "mbox" ? 1 : 0, QString()));
}

void MailReaderWindow::setStatusText(const std::string& text) {
    m_status->setText(latin1Text(text));
}

void MailReaderWindow::setStatusLineVisible(bool visible) { statusBar()->setVisible(visible); }

void MailReaderWindow::setTitle(const std::string& title) { setWindowTitle(latin1Text(title)); }

void MailReaderWindow::orderFront() {
    show();
    raise();
    activateWindow();
}

void MailReaderWindow::closeWindow() { close(); }

bool MailReaderWindow::printTo(QPrinter& printer, PrintScope scope) {
    TextView text;
    QProgressDialog progress(tr("Printing..."), tr("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    try {
        m_reader->textWillPrint(scope, text, [&progress] {
            QApplication::processEvents();
            return progress.wasCanceled();
        });
    } catch (const MailReader::PrintInterrupted& e) {
        setStatusText(e.what());
        return false;
    }
    std::unique_ptr<QTextDocument> document = RichTextDocument::create(text.richText());
    document->print(&printer);
    return true;
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
    printTo(printer, summaries->isChecked() ? PrintScope::Summaries : PrintScope::Messages);
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
            m_reader->openAttachment(path);
            return true;
        }
    }
    // Find... from its key (not the menu) lets a successful Return hide the panel.
    if (watched == action(Command::Find) && event->type() == QEvent::Shortcut) m_findByKey = true;
    return QMainWindow::eventFilter(watched, event);
}

void MailReaderWindow::showTextMenu(const QPoint& pos) {
    std::unique_ptr<QMenu> menu(m_text->createStandardContextMenu(pos));
    std::string path = attachmentAt(pos);
    if (!path.empty()) {
        QString source = QString::fromStdString(path);
        menu->addSeparator();
        menu->addAction(tr("Open Attachment"), this,
                        [this, path] { m_reader->openAttachment(path); });
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
    m_reader->windowWillClose();
    MailDriver::shared().removeMailWindow(m_reader.get());
    event->accept();
}

}  // namespace quill
