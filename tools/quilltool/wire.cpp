// What encode and send share: the outgoing settings and attached files.
#include "commands.h"
#include "formats/ZellMessage.h"
#include "message/MimeEncoder.h"
#include "platform/resources.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"

namespace quill::tool {

void applyWireSettings(Defaults& defaults) {
    MailMessage::setLineLength(defaults.lineLength());
    MimeEncoder::setAutoAlternative(defaults.mimeAlternatives());
    MimeEncoder::setWrite8BitText(defaults.send8BitMime());
    ZellMessage::setTarCommand(resolveHelperProgram(defaults.tarCommand()));
    ZellMessage::setCompressCommand(defaults.compressCommand());
}

void appendAttachments(TextView& view, const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        if (!view.plainText().empty() && view.plainText().back() != '\n') view.replaceSel("\n");
        view.replaceSelWithFile(file);
        view.replaceSel("\n");
    }
}

}  // namespace quill::tool
