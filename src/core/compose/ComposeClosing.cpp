#include "compose/ComposeClosing.h"

#include "compose/Send.h"
#include "platform/Panels.h"

namespace quill {
namespace {

enum Answer { kSave = 0, kDontSave = 1, kCancel = 2 };

}  // namespace

bool ComposeClosing::windowShouldClose(Send& send, Panels& panels) {
    if (!send.editing()) return true;
    std::optional<std::string> subject = send.getField(kFieldSubject);
    int answer =
        subject ? runAlert(panels, "Close", "Save draft entitled \"%s\"?", "Save", "Don't Save",
                           "Cancel", subject->c_str())
                : runAlert(panels, "Close", "Save untitled draft?", "Save", "Don't Save", "Cancel");
    if (answer == kCancel) return false;
    return answer == kDontSave || send.saveDraft();
}

}  // namespace quill
