#include "platform/RunLoop.h"

#include <utility>

#include "platform/PollRunLoop.h"

namespace quill {
namespace {

std::shared_ptr<RunLoop>& installed() {
    static std::shared_ptr<RunLoop> loop = std::make_shared<PollRunLoop>();
    return loop;
}

}  // namespace

void RunLoop::releaseLater(std::shared_ptr<void> object) {
    m_released.push_back(std::move(object));
}

void RunLoop::endOfEvent() {
    // Destructors may release more objects; swap first so they land in the next round.
    std::vector<std::shared_ptr<void>> dying;
    dying.swap(m_released);
}

RunLoop& runLoop() { return *installed(); }

void installRunLoop(std::shared_ptr<RunLoop> loop) {
    installed() = loop ? std::move(loop) : std::make_shared<PollRunLoop>();
}

}  // namespace quill
