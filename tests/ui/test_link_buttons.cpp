// Links in a shown message: the reader window puts a button before each URL,
// a click on it starts the browser command, and the browser remote control
// talks to a fake browser window on a private X server.
#include <fcntl.h>
#include <poll.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <thread>

#include "ReaderWindows.h"
#include "app/MailDriver.h"
#include "links/URLFilter.h"
#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "process/ProcessLauncher.h"
#include "reader/TextDisplayFilters.h"
#include "settings/Defaults.h"
#include "ui/links/LinkButtonClicks.h"
#include "ui/links/X11BrowserRemote.h"
#include "ui/reader/MailReaderWindow.h"
#include "ui/reader/MessageListView.h"

// Last: Xlib defines macros that Qt's and our headers must not see.
#ifndef Q_MOC_RUN
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace {

QString screenshot(const char* name) {
    QDir().mkpath(QUILL_SCREENSHOT_DIR);
    return QString(QUILL_SCREENSHOT_DIR) + "/" + name;
}

const char* kLinkMessage =
    "From ann@example.org Tue Mar  5 09:00:00 2024\nFrom: Ann <ann@example.org>\n"
    "Subject: Links\nDate: Tue, 5 Mar 2024 09:00:00 +0000\n\n"
    "The notes are at http://www.example.org/notes.html.\n"
    "Mirror (ftp://ftp.example.org/pub/notes) and mailto:ann@example.org.\n\n";

// A browser window that answers the remote-control protocol with `answer`.
class FakeBrowser {
  public:
    FakeBrowser(const std::string& display, std::string answer) : m_answer(std::move(answer)) {
        m_display = XOpenDisplay(display.c_str());
        if (!m_display) return;
        m_window =
            XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 10, 10, 0, 0, 0);
        XChangeProperty(m_display, m_window, atom("_MOZILLA_VERSION"), XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>("5.0"), 3);
        XSelectInput(m_display, m_window, PropertyChangeMask);
        XSync(m_display, False);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeBrowser() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_display) XCloseDisplay(m_display);
    }
    bool ready() const { return m_display != nullptr; }
    std::string command() {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_command;
    }

  private:
    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }
    void answer(const std::string& text) {
        XChangeProperty(m_display, m_window, atom("_MOZILLA_RESPONSE"), XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
        XFlush(m_display);
    }
    void serve() {
        while (!m_stop) {
            if (!XPending(m_display)) {
                pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
                poll(&fd, 1, 50);
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type != PropertyNotify || event.xproperty.state != PropertyNewValue ||
                event.xproperty.atom != atom("_MOZILLA_COMMAND"))
                continue;
            Atom type;
            int format;
            unsigned long count, after;
            unsigned char* data = nullptr;
            XGetWindowProperty(m_display, m_window, atom("_MOZILLA_COMMAND"), 0, 65536, True,
                               XA_STRING, &type, &format, &count, &after, &data);
            {
                std::lock_guard<std::mutex> hold(m_mutex);
                m_command.assign(reinterpret_cast<char*>(data), count);
            }
            XFree(data);
            answer("100 working on it");
            answer(m_answer);
        }
    }

    std::string m_answer;
    Display* m_display = nullptr;
    Window m_window = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_command;
};

}  // namespace

class TestLinkButtons : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    quill::LaunchedChild m_xserver;
    std::string m_display;

    quill::MailReaderWindow* openWindow() {
        auto* window = quill::openReaderWindow(m_dir.path() + "/home/Mail/Test.mbox", {760, 520});
        if (!window) return nullptr;
        window->listView()->setCurrentIndex(window->listView()->model()->index(0, 0));
        return window;
    }

    // Where the button before the first URL starting with `url` is drawn.
    static QPoint buttonCentre(QTextBrowser* text, const QString& url) {
        int at = text->toPlainText().indexOf(url);
        QTextCursor cursor(text->document());
        cursor.setPosition(at - 1);
        QRect before = text->cursorRect(cursor);
        cursor.setPosition(at);
        QRect after = text->cursorRect(cursor);
        return QPoint((before.left() + after.left()) / 2, after.center().y());
    }

    void startXServer() {
        quill::LaunchRequest request;
        request.argv = {"Xvfb", "-displayfd", "1", "-noreset",  "-nolisten",
                        "tcp",  "-screen",    "0", "640x480x24"};
        request.stdio[1] = quill::kPipeStream;
        request.stdio[2] = open("/dev/null", O_WRONLY | O_CLOEXEC);
        m_xserver = quill::processLauncher().launch(request);
        close(request.stdio[2]);
        if (!m_xserver.started()) return;
        std::string number;
        char c;
        pollfd fd{m_xserver.output.get(), POLLIN, 0};
        while (poll(&fd, 1, 10000) > 0 && read(fd.fd, &c, 1) == 1 && c != '\n') number += c;
        if (!number.empty()) m_display = ":" + number;
    }

  private slots:
    void initTestCase() {
        quill::TextDisplayFilters::add(quill::URLFilter::willDisplayText);
        startXServer();
    }
    void cleanupTestCase() {
        if (!m_xserver.started()) return;
        quill::processLauncher().signalGroup(m_xserver.pid, SIGTERM);
        quill::processLauncher().wait(m_xserver.pid);
    }
    void init() {
        QDir(m_dir.path()).mkpath("home/Mail/Test.mbox");
        quill::setCurrentUser({"tester", (m_dir.path() + "/home").toStdString(), "Test User"});
        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        quill::installPanels(std::make_shared<quill::ScriptedPanels>());
        quill::MailMessage::registerMailClass(quill::MailMessage::mailClass());
        quill::registerMimeMessageClass();
        QFile::remove(m_dir.path() + "/home/Mail/Test.mbox/table_of_contents");
        QFile f(m_dir.path() + "/home/Mail/Test.mbox/mbox");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kLinkMessage);
    }

    void aClickOnALinkButtonStartsTheBrowserCommand() {
        QString got = m_dir.path() + "/got";
        QString script = m_dir.path() + "/browser";
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(("#!/bin/sh\nprintf '%s' \"$1\" > '" + got + "'\n").toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        quill::Defaults::shared().setWebBrowserPath(script.toStdString());
        qunsetenv("DISPLAY");

        auto* window = openWindow();
        QVERIFY(window);
        QTextBrowser* text = window->textView();
        QString plain = text->toPlainText();
        QVERIFY(plain.contains("http://www.example.org/notes.html."));
        QCOMPARE(plain.count(QChar(QChar::ObjectReplacementCharacter)), 2);
        auto* clicks = text->findChild<quill::LinkButtonClicks*>();
        QVERIFY(clicks);
        QPoint button = buttonCentre(text, "ftp://");
        QCOMPARE(clicks->urlAt(button), std::string("ftp://ftp.example.org/pub/notes"));
        QCOMPARE(clicks->urlAt(button + QPoint(40, 0)), std::string());
        QVERIFY(window->grab().save(screenshot("links_in_message.png")));

        QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, button);
        QTRY_COMPARE(QFile(got).size(), qint64(31));
        QFile result(got);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("ftp://ftp.example.org/pub/notes"));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void theRemoteControlHandsTheURLToARunningBrowser() {
        if (m_display.empty()) QSKIP("no Xvfb to run a fake browser on");
        quill::X11BrowserRemote remote(m_display, 5000);
        QCOMPARE(remote.sendCommand("openURL(http://a.example/)"), 0);
        {
            FakeBrowser browser(m_display, "200 done");
            QVERIFY(browser.ready());
            QVERIFY(remote.openURL("http://a.example/x"));
            QCOMPARE(browser.command(), std::string("openURL(http://a.example/x)"));
        }
        {
            FakeBrowser browser(m_display, "500 refused");
            QVERIFY(browser.ready());
            QCOMPARE(remote.sendCommand("openURL(http://a.example/y)"), 5);
            QVERIFY(!remote.openURL("http://a.example/y"));
        }
    }
};

QTEST_MAIN(TestLinkButtons)
#include "test_link_buttons.moc"
