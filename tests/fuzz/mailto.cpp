// What other programs hand Quill: a mailto link, and the words a later start
// of Quill passes to the running one (separated by NUL bytes).
#include <algorithm>

#include "app/StartArguments.h"
#include "message/MailtoURL.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    MailtoURL::parse(text);
    std::vector<std::string> words;
    for (size_t start = 0; start <= text.size();) {
        size_t end = std::min(text.find('\0', start), text.size());
        words.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    StartArguments::parse(words, "/home/fuzz").composeRequests();
    return 0;
}
