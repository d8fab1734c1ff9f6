// A native-format message as it arrives: headers, then the uuencoded
// compressed archive unpacked into a temporary document directory (or the
// plain body with its joined lines), and the incoming reference rewriting of
// its text.
#include "base/ByteSource.h"
#include "formats/ZellMessage.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        ZellMessage message;
        ByteSource stream(bytes);
        message.readFromStreamMailbox(stream, "/nonexistent/In.mbox");
    }
    std::string rewritten;
    ZellMessage::convertStream(bytes, rewritten, ZellMessage::kIncomingPattern,
                               ZellMessage::kIncomingReplacement, false, true);
    return 0;
}
