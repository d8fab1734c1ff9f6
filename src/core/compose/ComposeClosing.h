// ComposeClosing: whether an edited compose window may close. The user is
// asked to save the draft, not to save it, or to keep the window.
#pragma once

namespace quill {

class Panels;
class Send;

class ComposeClosing {
  public:
    // True when the window may close: it was not edited, the user chose
    // "Don't Save", or the draft was saved. Cancel and a failed save keep it.
    static bool windowShouldClose(Send& send, Panels& panels);
};

}  // namespace quill
