// AddressFieldAppend: names from the address book added to a compose
// window's To or Cc field, within the field's 1023 characters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quill {

class AddressFieldAppend {
  public:
    static constexpr size_t kMaxField = 1023;

    // The field with names added: after one blank when it ends in a comma and
    // blanks, after ", " otherwise, or names alone in an empty field. Nothing
    // (after the "String too large." alert) when the result would be too long.
    static std::optional<std::string> appended(std::string_view field, std::string_view names);
};

}  // namespace quill
