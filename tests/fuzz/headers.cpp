// A header block: parsing, writing it back folded, and showing it.
#include "base/ByteSink.h"
#include "base/ByteSource.h"
#include "message/MailHeaders.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    ByteSource stream(std::string_view(reinterpret_cast<const char*>(data), size));
    std::unique_ptr<MailHeaders> block = MailHeaders::initFromStream(stream);
    if (!block) return 0;
    ByteSink sink;
    block->writeToStream(sink);
    block->replaceSelInText([](std::string_view, bool) {});
    block->valueForKey("Subject");
    block->setFromSpace(!block->hasFromSpace());
    return 0;
}
