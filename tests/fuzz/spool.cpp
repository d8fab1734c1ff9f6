// A spool as the direct path takes it in: a spool the shortcut lets through
// unfiltered must be one the attachment filter would store exactly as it is.
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/AttachmentFilter.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = fuzz::FuzzEnvironment::shared().freshScratch();
    std::string_view spool(reinterpret_cast<const char*>(data), size);
    if (!AttachmentFilter::passesUnchanged(spool)) return 0;
    std::string stored;
    if (!AttachmentFilter(dir).filterAttachments(spool, stored) || stored != spool) std::abort();
    return 0;
}
