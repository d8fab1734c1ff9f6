#include "addressbook/ComposeAddressTarget.h"

namespace quill {
namespace {

std::function<ComposeAddressTarget*()>& source() {
    static std::function<ComposeAddressTarget*()> frontmost;
    return frontmost;
}

}  // namespace

ComposeAddressTarget* ComposeAddressTarget::frontmost() { return source() ? source()() : nullptr; }

void ComposeAddressTarget::setFrontmostSource(std::function<ComposeAddressTarget*()> frontmost) {
    source() = std::move(frontmost);
}

}  // namespace quill
