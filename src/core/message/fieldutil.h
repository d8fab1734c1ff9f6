// Address fields: stripping comments and display names from an address,
// finding its display name, splitting address lists at the commas that really
// separate addresses, and deciding whether an address is the user's own.
// These never fail: unbalanced quotes or parentheses simply run to the end.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The bare address: comments, display name and angle brackets removed, white
// space collapsed. "Joe <joe@x>" and "joe@x (Joe)" both give "joe@x"; quoted
// local parts keep their quotes.
std::string uncommentedAddress(std::string_view text);

// The display name or comment of an address, or the bare address when there
// is none. "Joe <joe@x>" and "joe@x (Joe)" both give "Joe".
std::string addressComment(std::string_view text);

// The position of the first comma that separates two addresses (outside quotes
// and comments), or nothing.
std::optional<std::size_t> addressCommaIndex(std::string_view text);

// The pieces of an address list cut at its address commas, untrimmed; an
// empty text gives one empty piece.
std::vector<std::string_view> splitAtAddressCommas(std::string_view text);

// True when the address is the user's: the login name exactly, the full name
// with any punctuation and case, or one of the "Alternates" default ignoring case.
bool isMyAddress(std::string_view text);

// Who the user is, taken once, so that isMyAddress can be answered on
// another thread without reading the settings.
struct MyAddresses {
    std::string login;
    std::string realName;
    std::string alternates;
};
class Defaults;
MyAddresses myAddresses(Defaults& defaults);
MyAddresses myAddresses();  // of the shared settings
bool isMyAddress(std::string_view text, const MyAddresses& me);

// The user's full name: the password comment field cut at ",", ";" or "%",
// each "&" replaced by the capitalised login name; the login name when empty.
// Recomputed only when the current user changes.
const std::string& getRealName();

}  // namespace quill
