// MailReaderWindow: a mailbox window. The message list sits above the text of
// the current message, with the status line below; menus and keys forward to
// the core's MailReader, which decides everything.
#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <vector>

#include "reader/MailReader.h"
#include "reader/MailReaderView.h"

class QAction;
class QLabel;
class QTextBrowser;
class QMenu;
class QPrinter;
class QSplitter;

namespace quill {

class ListFindRunner;
class MessageListView;
class TocMatrixModel;
struct FindOptions;

class MailReaderWindow : public QMainWindow, public MailReaderView {
    Q_OBJECT
  public:
    explicit MailReaderWindow(std::shared_ptr<MailReader> reader, QWidget* parent = nullptr);
    ~MailReaderWindow() override;

    MailReader& reader() { return *m_reader; }
    MessageListView* listView() const { return m_list; }
    QTextBrowser* textView() const { return m_text; }
    QLabel* commandView() const { return m_summary; }
    const std::string& miniature() const { return m_miniature; }
    QAction* action(MailReader::Command command) const;

    // MailReaderView
    void listChanged() override;
    void scrollToRow(int row) override;
    void messageChanged() override;
    void setStatusText(const std::string& text) override;
    void setStatusLineVisible(bool visible) override;
    void setTitle(const std::string& title) override;
    void orderFront() override;
    void closeWindow() override;
    void setMessageSummary(const std::string& sender, const std::string& date) override;
    void setMiniature(const std::string& imageName) override;
    bool windowFrame(tocformat::WindowFrame& frame, float& tocHeight) const override;

    // Prints the selected messages (or the list's summaries) on printer;
    // false when the user interrupted it.
    bool printTo(QPrinter& printer, PrintScope scope);
    void printPanel();
    void transferPanel();
    // The attachment file shown at a point of the text view, or "".
    std::string attachmentAt(const QPoint& viewportPos) const;

    // Brings every action's title and enabling up to date.
    void validateActions();

    // The mailbox window last active: where find and transfer act.
    static MailReaderWindow* mainWindow();
    // Runs a find in the message list (see ListFindRunner).
    void find(const FindOptions& options, bool forward, bool all, bool focusHeld);
    void interruptFind();
    ListFindRunner* finder() const { return m_finder; }

  signals:
    void preferencesRequested();
    void addressBookRequested();
    void openMailboxRequested();
    void mailboxesRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildList();
    void buildMenus();
    void placeWindow();
    void performFromMenu(MailReader::Command command);
    void performWindowCommand(MailReader::Command command);
    void sortIndicatorFromMatrix();
    void applyFixedFont();
    void selectionChangedByUser();
    void showTextMenu(const QPoint& pos);

    std::shared_ptr<MailReader> m_reader;
    TocMatrixModel* m_model = nullptr;
    MessageListView* m_list = nullptr;
    QTextBrowser* m_text = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_summary = nullptr;
    QSplitter* m_split = nullptr;
    std::string m_miniature;
    std::map<MailReader::Command, QAction*> m_actions;
    std::vector<QMenu*> m_submenus;
    bool m_syncing = false;
    ListFindRunner* m_finder = nullptr;
    bool m_findByKey = false;
};

}  // namespace quill
