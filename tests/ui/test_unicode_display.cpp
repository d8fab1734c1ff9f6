// The Unicode display on the offscreen platform: the list and the message
// text of UTF-8, Japanese, Cyrillic and HTML-only mail, with the setting off
// and on (screenshots for review), and proof that showing HTML mail asks the
// text view for no resource beyond Quill's own attachment icons.
#include <QDir>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "ReaderWindows.h"
#include "app/MailDriver.h"
#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "reader/MessageRenderer.h"
#include "settings/Defaults.h"
#include "ui/reader/MailReaderWindow.h"
#include "ui/reader/MessageListView.h"
#include "ui/reader/TocMatrixModel.h"
#include "ui/richtext/RichTextDocument.h"

namespace {

QByteArray mail(const QByteArray& headers, const QByteArray& body) {
    return "From sender Mon Mar  4 10:00:00 2024\nMIME-Version: 1.0\n" + headers + "\n" + body +
           "\n\n";
}

QByteArray sampleMailbox() {
    return mail(
               "From: =?utf-8?q?Fran=C3=A7ois_Beaupr=C3=A9?= <fb@example.org>\n"
               "Subject: =?UTF-8?B?VGFjayBhbGxhIOKAkyDDpHIgZGV0IGtsYXJ0Pw==?=\n"
               "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n",
               "Gr\xc3\xbc\xc3\x9f"
               "e aus K\xc3\xb6ln \xe2\x80\x93 \xe2\x82\xac 5\n") +
           mail(
               "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>\n"
               "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsJWEhPCVrJUYlOSVIGyhC?=\n"
               "Content-Type: text/plain; charset=ISO-2022-JP\n",
               "\x1b$BF|K\\8l$,@5>o$KAw$l$F$$$k$+%F%9%H\x1b(B\n") +
           mail(
               "From: =?koi8-r?B?6dfBzg==?= <ivan@example.ru>\n"
               "Subject: =?koi8-r?Q?=F0=D2=C9=D7=C5=D4_=CD=C9=D2?=\n"
               "Content-Type: text/plain; charset=koi8-r\nContent-Transfer-Encoding: 8bit\n",
               "\xf0\xd2\xc9\xd7\xc5\xd4, \xcd\xc9\xd2!\n") +
           mail(
               "From: Newsletter <news@example.com>\nSubject: This week\n"
               "Content-Type: text/html; charset=utf-8\n",
               "<html><head><style>p{color:red}</style><script>alert(1)</script></head><body>"
               "<h1>This week</h1><p>Three <b>new</b> things, <i>finally</i>:</p>"
               "<ul><li>Faster</li><li>Smaller</li><li>Caf&eacute;</li></ul>"
               "<p><a href=\"https://example.com/more\">Read more</a></p>"
               "<img src=\"https://tracker.example.com/p.gif\"></body></html>");
}

QString screenshot(const QString& name) {
    QDir().mkpath(QUILL_SCREENSHOT_DIR);
    return QString(QUILL_SCREENSHOT_DIR) + "/" + name;
}

// A text view that records every resource its document asks it for.
class RecordingBrowser : public QTextBrowser {
  public:
    QVariant loadResource(int type, const QUrl& url) override {
        asked << url;
        return QTextBrowser::loadResource(type, url);
    }
    QList<QUrl> asked;
};

}  // namespace

class TestUnicodeDisplay : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString mailboxPath() const { return m_dir.path() + "/home/Mail/U.mbox"; }

  private slots:
    void init() {
        QDir(m_dir.path()).mkpath("home/Mail/U.mbox");
        quill::setCurrentUser({"tester", (m_dir.path() + "/home").toStdString(), "Test User"});
        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        quill::installPanels(std::make_shared<quill::ScriptedPanels>());
        quill::MailMessage::registerMailClass(quill::MailMessage::mailClass());
        quill::registerMimeMessageClass();
        QFile f(mailboxPath() + "/mbox");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sampleMailbox());
    }

    void listAndReaderBeforeAndAfter() {
        const char* names[] = {"utf8", "japanese", "cyrillic", "html"};
        for (bool unicode : {false, true}) {
            quill::Defaults::shared().setUnicodeDisplay(unicode);
            auto* window = quill::openReaderWindow(mailboxPath(), {760, 560});
            QVERIFY(window);
            for (int row = 0; row < 4; ++row) {
                window->listView()->setCurrentIndex(window->listView()->model()->index(row, 0));
                QVERIFY(window->grab().save(screenshot(
                    QString("unicode-%1-%2.png").arg(unicode ? "on" : "off", names[row]))));
            }
            QAbstractItemModel* model = window->listView()->model();
            QString subject = model->index(1, quill::TocMatrixModel::Subject).data().toString();
            QCOMPARE(subject.contains(QString::fromUtf8("\u65e5\u672c\u8a9e")), unicode);
            QCOMPARE(window->textView()->toPlainText().contains("Read more"), unicode);
            window->close();
            delete window;
        }
    }

    void hostileHtmlAsksForNoResource() {
        const char* bodies[] = {
            "<img src=\"https://evil.example/t.gif\">Read more",
            "<p style=\"background:url(https://evil.example/b)\">Read more</p>",
            "<base href=\"https://evil.example/\"><img src=\"x.png\">Read more",
        };
        for (const char* body : bodies) {
            QByteArray text = mail("From: a@example.org\nContent-Type: text/html\n", body);
            quill::TextView view;
            view.setUtf8(true);
            quill::renderMessage(text.toStdString(), mailboxPath().toStdString(),
                                 quill::filteredHeadersFrom(quill::Defaults::shared()), view);
            QVERIFY(view.plainText().find("Read more") != std::string::npos);
            RecordingBrowser browser;
            quill::RichTextDocument::fill(*browser.document(), view.richText());
            browser.resize(500, 300);
            browser.show();
            QVERIFY(!browser.grab().isNull());
            for (const QUrl& url : browser.asked)
                QCOMPARE(url.scheme(), QString("quill-attachment"));
        }
    }
};

QTEST_MAIN(TestUnicodeDisplay)
#include "test_unicode_display.moc"
