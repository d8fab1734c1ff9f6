// The mail service on the session bus: each call of the method table arrives
// under its bus member name ("setTo_inWindow_") and goes to the MailListener;
// the reply carries the integer answer, then the integer passed back.
// Texts arrive as Unicode and reach the compose windows as ISO 8859-1.
#pragma once

#include <QDBusVirtualObject>

#include "app/MailListener.h"

namespace quill {

class DBusMailListener : public QDBusVirtualObject {
  public:
    explicit DBusMailListener(MailListener& listener) : m_listener(listener) {}
    // Offers the service; false (and nothing offered) when the bus is not
    // there or the name is taken.
    bool registerOn(QDBusConnection connection);

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

  private:
    MailListener& m_listener;
};

}  // namespace quill
