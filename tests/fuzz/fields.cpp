// Header field texts: dates, addresses and encoded header words.
#include <cstdlib>
#include <ctime>

#include "message/date.h"
#include "message/fieldutil.h"
#include "message/headerword.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::tm record{};
    parseFullDate(text, &record);
    packedDate(text);
    uncommentedAddress(text);
    addressComment(text);
    splitAtAddressCommas(text);
    isMyAddress(text);
    std::string words(text);
    decodeMimeHeaderWords(words);
    // Decoding works in place, so it may never lengthen the text.
    if (words.size() > size) std::abort();
    return 0;
}
