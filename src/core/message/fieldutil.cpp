#include "message/fieldutil.h"

namespace quill {

std::string uncommentedAddress(std::string_view text) { return std::string(text); }
std::string addressComment(std::string_view text) { return std::string(text); }
std::optional<std::size_t> addressCommaIndex(std::string_view) { return std::nullopt; }
std::vector<std::string_view> splitAtAddressCommas(std::string_view text) { return {text}; }
bool isMyAddress(std::string_view) { return false; }
const std::string& getRealName() {
    static std::string name;
    return name;
}

}  // namespace quill
