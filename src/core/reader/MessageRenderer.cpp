#include "reader/MessageRenderer.h"

#include "formats/SunMessage.h"
#include "formats/ZellMessage.h"
#include "message/headertext.h"
#include "settings/Defaults.h"

namespace quill {

void registerMessageClasses() {
    MailMessage::registerMailClass(MailMessage::mailClass());
    registerMimeMessageClass();
    registerZellMessageClass();
    registerSunMessageClass();
}

std::shared_ptr<const MailHeaders> filteredHeadersFrom(Defaults& defaults) {
    auto filter = std::make_shared<MailHeaders>();
    filter->addKey(MailHeaders::kFromSpace, "");
    std::string list = defaults.mailFilter();
    size_t start = 0;
    while (start <= list.size()) {
        size_t colon = list.find(':', start);
        std::string key = list.substr(start, colon - start);
        if (!key.empty()) filter->addKey(key, "");
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return filter;
}

std::unique_ptr<MailMessage> renderMessage(std::string_view text, const std::string& mailboxPath,
                                           std::shared_ptr<const MailHeaders> hidden,
                                           TextView& view) {
    return renderMessage(text, mailboxPath, std::move(hidden), view, MimeMessage::RenderOptions{});
}

std::unique_ptr<MailMessage> renderMessage(std::string_view text, const std::string& mailboxPath,
                                           std::shared_ptr<const MailHeaders> hidden,
                                           TextView& view,
                                           const MimeMessage::RenderOptions& options) {
    return renderMessage(SharedBytes::copyOf(text), mailboxPath, std::move(hidden), view, options);
}

std::unique_ptr<MailMessage> renderMessage(const SharedBytes& shared,
                                           const std::string& mailboxPath,
                                           std::shared_ptr<const MailHeaders> hidden,
                                           TextView& view,
                                           const MimeMessage::RenderOptions& options) {
    view.clear();
    std::string_view text = shared.view();
    ByteSource source(shared);
    std::unique_ptr<MailMessage> message = MailMessage::newFromStream(source, mailboxPath);
    if (!message) return nullptr;
    MailHeaders::setFilteredHeaders(std::move(hidden));
    unsigned plainTraits = view.fontTraits() & ~kBoldTrait;
    MailHeaders::RunSink runs = MimeMessage::runsInto(view);
    message->replaceSelWithHeaderBlock(runs, text, view.isUtf8());
    if (auto* mime = dynamic_cast<MimeMessage*>(message.get())) {
        // MIME bodies go straight into the view so attachments become icons.
        mime->replaceSelWithBodyInView(view, options);
    } else if (auto* zell = dynamic_cast<ZellMessage*>(message.get())) {
        zell->replaceSelWithBodyInView(view);
    } else if (auto* sun = dynamic_cast<SunMessage*>(message.get())) {
        sun->replaceSelWithBodyInView(view);
    } else {
        message->replaceSelWithBodyInText(view.isUtf8() ? utf8Runs(runs) : runs);
    }
    view.setFontTraits(plainTraits);
    view.setSel(0, 0);
    return message;
}

}  // namespace quill
