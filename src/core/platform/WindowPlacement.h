// WindowPlacement: where a window opens. A window never lies partly outside
// the screen (it is shrunk to the screen, then moved inside), and a window
// that belongs to another opens centred on it.
#pragma once

namespace quill {

class WindowPlacement {
  public:
    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
        bool operator==(const Rect&) const = default;
    };

    // The window moved (and, when larger than the screen, shrunk) onto the screen.
    static Rect onScreen(const Rect& window, const Rect& screen);
    // A window of that size centred on its parent, then kept on the screen.
    static Rect centredOn(int width, int height, const Rect& parent, const Rect& screen);

  private:
    static int fit(int position, int length, int start, int available);
};

}  // namespace quill
