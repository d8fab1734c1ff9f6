// What a mailbox window prints.
#pragma once

namespace quill {

enum class PrintScope {
    Summaries,  // the rows of the message list
    Messages,   // the selected messages (the shown one when none is selected)
};

}  // namespace quill
