#include "compose/AddressFieldAppend.h"

#include "base/ascii.h"
#include "platform/Panels.h"

namespace quill {

std::optional<std::string> AddressFieldAppend::appended(std::string_view field,
                                                        std::string_view names) {
    if (field.size() + names.size() > kMaxField) {
        runAlert("To:,Cc:", "String too large.", "OK", nullptr, nullptr);
        return std::nullopt;
    }
    std::string text(field);
    if (text.empty()) return std::string(names);
    const bool endsInComma = trimmedBack(text, isBlank).ends_with(',');
    text += endsInComma ? " " : ", ";
    text += names;
    return text;
}

}  // namespace quill
