// LinkButtonClicks: makes the link buttons of a text view clickable. Watches
// the view's viewport; a click on a button's icon opens its URL (a running
// browser first, else the browser command), and the pointer turns into a hand
// over a button.
#pragma once

#include <QObject>
#include <QPoint>
#include <string>

class QTextEdit;

namespace quill {

class BrowserRemote;

class LinkButtonClicks : public QObject {
    Q_OBJECT
  public:
    // Installs itself on text's viewport and is owned by text.
    LinkButtonClicks(QTextEdit* text, BrowserRemote* remote);

    // The URL of the button under a viewport point; empty when there is none.
    std::string urlAt(const QPoint& viewportPos) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QTextEdit* m_text;
    BrowserRemote* m_remote;
};

}  // namespace quill
