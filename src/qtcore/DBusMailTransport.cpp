#include "qtcore/DBusMailTransport.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include "app/MailListener.h"
#include "qtcore/MailServiceBus.h"

namespace quill {
namespace {

// Long enough for a busy Quill, short enough for a script to go on.
constexpr int kReplyTimeoutMs = 20000;

}  // namespace

std::optional<int> DBusMailTransport::send(const RemoteMethod& method, RemoteArguments& params) {
    QDBusConnection connection = QDBusConnection::sessionBus();
    if (!connection.isConnected()) return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(
        bus::kServiceName, bus::kServicePath, bus::kServiceInterface,
        QString::fromStdString(MailListener::busMemberName(method.name)));
    QVariantList in;
    for (char type : method.params) {
        if (type == 'c') in << QString::fromLocal8Bit(params.text.c_str());
        if (type == 'i') in << params.number;
    }
    call.setArguments(in);
    QDBusMessage reply = connection.call(call, QDBus::Block, kReplyTimeoutMs);
    QVariantList out = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || out.isEmpty()) return std::nullopt;
    if (method.passesBack() && out.size() > 1) params.number = out[1].toInt();
    return out[0].toInt();
}

}  // namespace quill
