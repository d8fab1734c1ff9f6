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
    // A leading blank changes no reading, but sends the text past the
    // envelope form's own reader to the tolerant one: the two must agree.
    std::string blankFirst = " " + std::string(text);
    if (packedDate(text) != packedDate(blankFirst)) std::abort();
    if (uncommentedAddress(text) != uncommentedAddress(blankFirst)) std::abort();
    addressComment(text);
    splitAtAddressCommas(text);
    isMyAddress(text);
    std::string words(text);
    decodeMimeHeaderWords(words);
    // Decoding works in place, so it may never lengthen the text.
    if (words.size() > size) std::abort();
    return 0;
}
