// A message replied to: the reply fields derived from its header record, and
// its text quoted and re-wrapped, prefixed for Include, at a few widths.
#include "compose/quoting.h"
#include "compose/replyfields.h"
#include "store/Message.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    Message header;
    header.readMessage(text);
    replyToAddresses(header, false);
    replyCcAddresses(header, header.emptyGet("From:"), false);
    replySubject(header);
    replyReferences(header);
    quoteAttribution(header);
    for (int width : {1, 2, 68}) {
        wrappedQuote(bodyOfShownText(text), width, width == 2);
        prefixedLines(text, width, "> ");
    }
    return 0;
}
