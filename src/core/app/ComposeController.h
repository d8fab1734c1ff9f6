// A compose window as the application driver sees it at quit time.
#pragma once

#include <string>

namespace quill {

class ComposeController {
  public:
    virtual ~ComposeController() = default;
    virtual bool hasEdits() const = 0;
    virtual std::string subject() const = 0;
    virtual void orderFront() = 0;
    virtual void saveDraft() = 0;
};

}  // namespace quill
