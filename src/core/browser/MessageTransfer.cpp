#include "browser/MessageTransfer.h"

#include "base/Diagnostics.h"

namespace quill {
namespace {

MessageTransfer::Function& installed() {
    static MessageTransfer::Function transfer;
    return transfer;
}

}  // namespace

void MessageTransfer::install(Function transfer) { installed() = std::move(transfer); }

bool MessageTransfer::transfer(MailReader& source, const std::string& target) {
    if (!installed()) {
        logRaw("Transfer to " + target + " refused: no transfer is installed\n");
        return false;
    }
    return installed()(source, target);
}

}  // namespace quill
