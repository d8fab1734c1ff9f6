// Opening a mailbox window as the application does, for the UI tests.
#pragma once

#include <QSize>
#include <QString>

namespace quill {
class MailReaderWindow;

// Opens the mailbox at path with the driver's context in a new window of the
// given size (the window's own when empty) and shows it; null when the
// mailbox does not open.
MailReaderWindow* openReaderWindow(const QString& path, QSize size = {});

}  // namespace quill
