#include "message/MimeFilter.h"

#include "base/Diagnostics.h"
#include "message/MimeMessage.h"
#include "richtext/TextView.h"

namespace quill {

bool MimeFilter::filterDisplayText(TextView& view) {
    std::string text = view.plainText();
    if (text.find("Content-Type") == std::string::npos) return false;
    logNote("MimeFilter", "It looks like this might be a MIME message...");
    ByteSource stream(text);
    std::unique_ptr<MailMessage> message = MailMessage::newFromStream(stream);
    auto* mime = dynamic_cast<MimeMessage*>(message.get());
    if (!mime) {
        logNote("MimeFilter", "Nope, apparently not.");
        return false;
    }
    logNote("MimeFilter", "Yup, %s/%s; replacing...", mime->mimeType().value_or("").c_str(),
            mime->mimeSubtype().value_or("").c_str());
    view.selectAll();
    view.replaceSel("");
    mime->replaceSelWithHeadersInText(MimeMessage::runsInto(view));
    view.replaceSel("\n");
    mime->replaceSelWithBodyInView(view);
    m_message = std::move(message);
    return true;
}

}  // namespace quill
