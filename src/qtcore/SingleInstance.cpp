#include "qtcore/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>

#include "qtcore/MailServiceBus.h"

namespace quill {
namespace {

constexpr int kHandOverTimeoutMs = 20000;

}  // namespace

bool SingleInstance::claim() {
    QDBusConnection connection = QDBusConnection::sessionBus();
    if (!connection.isConnected()) return true;
    connection.registerVirtualObject(bus::kInstancePath, this);
    auto reply = connection.interface()->registerService(
        bus::instanceName(), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) return true;
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered) return true;
    connection.unregisterObject(bus::kInstancePath);
    return false;
}

bool SingleInstance::handOver(const Arguments& words) {
    QStringList list;
    for (const std::string& word : words) list << QString::fromLocal8Bit(word.c_str());
    QDBusMessage call = QDBusMessage::createMethodCall(
        bus::instanceName(), bus::kInstancePath, bus::kInstanceInterface, bus::kOpenArguments);
    call.setArguments({list});
    QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kHandOverTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool SingleInstance::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.member() != bus::kOpenArguments || message.signature() != QLatin1String("as"))
        return false;
    Arguments words;
    for (const QString& word : message.arguments().value(0).toStringList())
        words.push_back(word.toLocal8Bit().toStdString());
    m_onArguments(words);
    connection.send(message.createReply());
    return true;
}

QString SingleInstance::introspect(const QString&) const {
    return QStringLiteral(
               "<interface name=\"%1\">\n  <method name=\"%2\">\n"
               "    <arg type=\"as\" direction=\"in\"/>\n  </method>\n</interface>\n")
        .arg(bus::kInstanceInterface, bus::kOpenArguments);
}

}  // namespace quill
