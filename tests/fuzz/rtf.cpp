// RTF as attachments and text/rtf bodies carry it, read and written back.
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    std::optional<RichText> text =
        RtfReader::read(std::string_view(reinterpret_cast<const char*>(data), size), CharFormat{});
    if (text) RtfWriter::write(*text);
    return 0;
}
