// A whole message shown as the mailbox window shows it: class choice, MIME
// decoding of every part and rendering into a view, attachments as icons;
// then the first icon is opened, which writes its file.
#include "message/MimeMessage.h"
#include "reader/MessageRenderer.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string mailbox =
        (registerMimeMessageClass(), fuzz::FuzzEnvironment::shared().mailDir() + "/Fuzz");
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // Every way of showing alternatives, chosen by the input.
    MimeMessage::RenderOptions options;
    if (size % 4 != 3) options.alternatives = static_cast<AlternativeChoice>(size % 4);
    TextView view;
    std::unique_ptr<MailMessage> message = renderMessage(text, mailbox, size % 2, view, options);
    if (!message) return 0;
    MimeMessage::textWithAttachmentNames(view);
    for (const Attachment* cell : view.richText().attachments()) {
        if (!cell->body) continue;
        cell->body->fileIn(fuzz::FuzzEnvironment::shared().freshScratch(), cell->name);
        break;
    }
    return 0;
}
