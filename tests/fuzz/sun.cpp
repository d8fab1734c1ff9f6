// A Sun attachment message as it arrives in a mailbox: its parts split and
// shown (icons are only made, never written, so no decoder program runs), and
// the same bytes read as a "SunFileTypes" table.
#include "formats/SunFileTypes.h"
#include "formats/SunMessage.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SunMessage message;
    ByteSource source(bytes);
    if (message.readFromStream(source)) {
        TextView view;
        message.replaceSelWithBodyInView(view);
        for (const auto& part : message.bodyParts()) part->bodyFileName();
    }
    SunFileTypes::parse(bytes).lookup("text");
    return 0;
}
