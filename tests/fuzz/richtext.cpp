// text/enriched and text/richtext bodies: each input is read both ways.
#include "richtext/MimeRichText.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    std::string_view body(reinterpret_cast<const char*>(data), size);
    MimeRichText enriched, richtext;
    enriched.readMimeEnriched(body).richText().describe();
    richtext.readMimeRichText(body).richText().describe();
    return 0;
}
