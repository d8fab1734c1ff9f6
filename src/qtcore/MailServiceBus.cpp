#include "qtcore/MailServiceBus.h"

#include <cstdlib>

namespace quill::bus {

QString instanceName() {
    QString display;
    for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(var);
        if (value && *value) {
            display = QString::fromLocal8Bit(value);
            break;
        }
    }
    QString element = QStringLiteral("Display");
    for (QChar c : display) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        element += plain ? c : QChar('_');
    }
    return kInstanceInterface + '.' + element;
}

}  // namespace quill::bus
