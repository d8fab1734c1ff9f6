// uuencoded text, as Decode Foreign Attachment and the decode filter read it.
#include "base/ByteSink.h"
#include "base/ByteSource.h"
#include "formats/uuencode.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    ByteSource in(std::string_view(reinterpret_cast<const char*>(data), size));
    ByteSink out;
    std::string name;
    int mode = 0;
    uudecode(in, out, &name, &mode);
    return 0;
}
