#include "ui/reader/MailboxOpeningWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MailDriver.h"
#include "platform/Localized.h"
#include "ui/app/QtApplicationShell.h"
#include "ui/platform/QtText.h"

namespace quill {
namespace {

constexpr int kBarSteps = 1000;
constexpr int kPanelWidth = 420;

}  // namespace

MailboxOpeningWindow::MailboxOpeningWindow(std::shared_ptr<MailboxOpening> opening, QWidget* parent)
    : QWidget(parent, Qt::Window), m_opening(std::move(opening)) {
    setAttribute(Qt::WA_DeleteOnClose);
    std::string path = m_opening->mailboxPath();
    QString name = latin1Text(path.substr(path.rfind('/') + 1));
    setWindowTitle(name);
    auto* heading = new QLabel(name);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);
    // A long directory name may break after any slash.
    m_message = new QLabel(latin1Text(m_opening->rebuildMessage()).replace('/', u"/\u200b"_qs));
    m_message->setWordWrap(true);
    m_bar = new QProgressBar;
    m_bar->setRange(0, kBarSteps);
    m_cancel = new QPushButton(QString::fromStdString(localized(kButtonsTable, "Cancel")));
    connect(m_cancel, &QPushButton::clicked, this, &MailboxOpeningWindow::cancelClicked);

    auto* panel = new QWidget;
    panel->setFixedWidth(kPanelWidth);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setSpacing(10);
    panelLayout->addWidget(heading);
    panelLayout->addWidget(m_message);
    panelLayout->addWidget(m_bar);
    // A wrapped label is otherwise given the height of a wider one.
    QMargins margins = panelLayout->contentsMargins();
    m_message->setMinimumHeight(
        m_message->heightForWidth(kPanelWidth - margins.left() - margins.right()));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    panelLayout->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(panel, 0, Qt::AlignHCenter);
    layout->addStretch(2);

    MailboxOpening::Hooks hooks;
    hooks.progress = [this](double fraction) { m_bar->setValue(int(fraction * kBarSteps)); };
    hooks.finished = [this] { emit finished(); };
    hooks.orderFront = [this] {
        show();
        raise();
        activateWindow();
    };
    hooks.close = [this] { close(); };
    m_opening->setHooks(std::move(hooks));
    placeWindow();
}

// Where the mailbox window will stand: the frame recorded in the index, or
// the default size over the window it was opened from.
void MailboxOpeningWindow::placeWindow() {
    tocformat::WindowFrame f;
    float tocHeight = 0;
    bool recorded = m_opening->recordedFrame(f, tocHeight);
    QWidget* parent = QApplication::activeWindow();
    if (!recorded && parent && parent != this) {
        resize(int(f.width), int(f.height));
        QtApplicationShell::centreOn(this, parent);
        return;
    }
    QtApplicationShell::placeOnScreen(this, QRect(int(f.x), int(f.y), int(f.width), int(f.height)));
}

void MailboxOpeningWindow::cancelClicked() {
    m_cancel->setEnabled(false);
    m_opening->cancel();
}

void MailboxOpeningWindow::closeEvent(QCloseEvent* event) {
    if (m_opening->state() == MailboxOpening::State::Rebuilding) {
        m_opening->abandon();
        MailDriver::shared().removeMailWindow(m_opening.get());
    }
    m_opening->setHooks({});
    event->accept();
}

}  // namespace quill
