// Opens compose windows for the mail service; the windowing side implements it.
#pragma once

#include <memory>

#include "app/RemoteComposer.h"

namespace quill {

class ComposerFactory {
  public:
    virtual ~ComposerFactory() = default;
    // A new, empty compose window, shown. The window tells the service when it
    // closes (SendDemo::composerWillClose).
    virtual std::shared_ptr<RemoteComposer> newSendWindow() = 0;
};

}  // namespace quill
