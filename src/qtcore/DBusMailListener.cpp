#include "qtcore/DBusMailListener.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "base/utf8.h"
#include "qtcore/MailServiceBus.h"

namespace quill {
namespace {

// The D-Bus signature of what a call passes in.
QString inSignature(const RemoteMethod& method) {
    QString signature;
    for (char type : method.params) {
        if (type == 'c') signature += 's';
        if (type == 'i') signature += 'i';
    }
    return signature;
}

RemoteArguments argumentsOf(const QDBusMessage& message) {
    RemoteArguments params;
    for (const QVariant& value : message.arguments()) {
        if (value.metaType().id() == QMetaType::QString)
            params.text = utf8ToLatin1(value.toString().toUtf8().toStdString());
        else
            params.number = value.toInt();
    }
    return params;
}

}  // namespace

bool DBusMailListener::registerOn(QDBusConnection connection) {
    if (!connection.isConnected()) return false;
    if (!connection.registerVirtualObject(bus::kServicePath, this)) return false;
    auto reply = connection.interface()->registerService(
        bus::kServiceName, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return true;
    connection.unregisterObject(bus::kServicePath);
    return false;
}

bool DBusMailListener::handleMessage(const QDBusMessage& message,
                                     const QDBusConnection& connection) {
    if (!message.interface().isEmpty() && message.interface() != bus::kServiceInterface)
        return false;
    for (size_t i = 0; i < MailListener::methods().size(); ++i) {
        const RemoteMethod& method = MailListener::methods()[i];
        if (QString::fromStdString(MailListener::busMemberName(method.name)) != message.member())
            continue;
        if (message.signature() != inSignature(method)) return false;
        RemoteArguments params = argumentsOf(message);
        int answer = m_listener.performRemoteMethod(static_cast<int>(i), params);
        QVariantList out{answer};
        if (method.passesBack()) out << params.number;
        connection.send(message.createReply(out));
        return true;
    }
    return false;
}

QString DBusMailListener::introspect(const QString&) const {
    QString xml = QStringLiteral("<interface name=\"%1\">\n").arg(bus::kServiceInterface);
    for (const RemoteMethod& method : MailListener::methods()) {
        xml += QStringLiteral("  <method name=\"%1\">\n")
                   .arg(QString::fromStdString(MailListener::busMemberName(method.name)));
        for (QChar c : inSignature(method))
            xml += QStringLiteral("    <arg type=\"%1\" direction=\"in\"/>\n").arg(c);
        xml += QStringLiteral("    <arg type=\"i\" direction=\"out\"/>\n");
        if (method.passesBack()) xml += QStringLiteral("    <arg type=\"i\" direction=\"out\"/>\n");
        xml += QStringLiteral("  </method>\n");
    }
    return xml + QStringLiteral("</interface>\n");
}

}  // namespace quill
