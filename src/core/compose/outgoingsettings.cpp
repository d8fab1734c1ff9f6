#include "compose/outgoingsettings.h"

#include "formats/ZellMessage.h"
#include "message/MailMessage.h"
#include "message/MimeEncoder.h"
#include "platform/resources.h"
#include "settings/Defaults.h"

namespace quill {

void applyOutgoingSettings(Defaults& defaults) {
    MailMessage::setLineLength(defaults.lineLength());
    MimeEncoder::setAutoAlternative(defaults.mimeAlternatives());
    MimeEncoder::setWrite8BitText(defaults.send8BitMime());
    ZellMessage::setTarCommand(resolveHelperProgram(defaults.tarCommand()));
    ZellMessage::setCompressCommand(defaults.compressCommand());
}

}  // namespace quill
