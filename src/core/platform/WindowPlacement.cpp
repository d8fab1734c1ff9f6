#include "platform/WindowPlacement.h"

#include <algorithm>

namespace quill {

int WindowPlacement::fit(int position, int length, int start, int available) {
    return std::clamp(position, start, start + available - length);
}

WindowPlacement::Rect WindowPlacement::onScreen(const Rect& window, const Rect& screen) {
    Rect r = window;
    r.width = std::min(r.width, screen.width);
    r.height = std::min(r.height, screen.height);
    r.x = fit(r.x, r.width, screen.x, screen.width);
    r.y = fit(r.y, r.height, screen.y, screen.height);
    return r;
}

WindowPlacement::Rect WindowPlacement::centredOn(int width, int height, const Rect& parent,
                                                 const Rect& screen) {
    Rect r{parent.x + (parent.width - width) / 2, parent.y + (parent.height - height) / 2, width,
           height};
    return onScreen(r, screen);
}

}  // namespace quill
