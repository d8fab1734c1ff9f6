#include "ReaderWindows.h"

#include "app/MailDriver.h"
#include "reader/MailReader.h"
#include "ui/reader/MailReaderWindow.h"

namespace quill {

MailReaderWindow* openReaderWindow(const QString& path, QSize size) {
    std::shared_ptr<MailReader> reader = MailReader::open(
        path.toStdString(), MailDriver::shared().mailContext(), MailDriver::shared());
    if (!reader) return nullptr;
    auto* window = new MailReaderWindow(reader);
    if (!size.isEmpty()) window->resize(size);
    window->show();
    return window;
}

}  // namespace quill
