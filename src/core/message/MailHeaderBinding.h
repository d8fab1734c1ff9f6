// MailHeaderBinding: one header of a message, a key and its unfolded value.
// Keys are interned: each distinct spelling is kept once for the life of the
// program, exactly as written, so a block of thousands of "Received" lines
// holds one copy of the word and comparing two keys can start with a pointer.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace quill {

class MailHeaderBinding {
  public:
    // initWithKey:value: (copies the value).
    MailHeaderBinding(std::string_view key, std::string_view value)
        : myKey(intern(key)), myValue(value) {}

    // The interned key; its bytes live for the rest of the run.
    std::string_view key() const { return myKey; }
    const std::string& value() const { return myValue; }

    void setKey(std::string_view key) { myKey = intern(key); }
    void setValue(std::string_view value) { myValue.assign(value); }
    void setValueNoCopy(std::string&& value) { myValue = std::move(value); }
    // Grows the value in place, so a header of many continuation lines costs
    // time in proportion to its length.
    void appendToValue(std::string_view more) { myValue.append(more); }

    // The one shared copy of this spelling (NUL-terminated, never freed).
    static std::string_view intern(std::string_view key);

  private:
    std::string_view myKey;
    std::string myValue;
};

}  // namespace quill
