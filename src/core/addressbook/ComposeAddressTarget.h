// ComposeAddressTarget: what the address book needs of a compose window, the
// To and Cc fields it appends names to. The compose windows implement it; the
// application tells the address book which one is in front.
#pragma once

#include <functional>
#include <string>

namespace quill {

class ComposeAddressTarget {
  public:
    virtual ~ComposeAddressTarget() = default;
    virtual void appendTo(const std::string& name) = 0;
    virtual void appendCc(const std::string& name) = 0;

    // The frontmost compose window, or nullptr when none is open.
    static ComposeAddressTarget* frontmost();
    static void setFrontmostSource(std::function<ComposeAddressTarget*()> source);
};

}  // namespace quill
