// Where the mail service and the running Quill are found on the session bus.
#pragma once

#include <QString>

namespace quill::bus {

// The mail service other programs call: name, interface and object alike.
inline const QString kServiceName = QStringLiteral("org.quill.QuillSendDemo");
inline const QString kServiceInterface = kServiceName;
inline const QString kServicePath = QStringLiteral("/org/quill/QuillSendDemo");

// The running Quill of one display, which later starts hand their arguments to.
inline const QString kInstanceInterface = QStringLiteral("org.quill.Quill");
inline const QString kInstancePath = QStringLiteral("/org/quill/Quill");
inline const QString kOpenArguments = QStringLiteral("openArguments");

// "org.quill.Quill.Display_0" for DISPLAY ":0"; the display is the X
// display, else the Wayland one, else the platform Qt draws on.
QString instanceName();

}  // namespace quill::bus
