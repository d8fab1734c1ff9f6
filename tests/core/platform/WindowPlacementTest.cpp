// Where windows open: always wholly on the screen, centred on their parent.
#include <gtest/gtest.h>

#include "platform/WindowPlacement.h"

namespace quill {
namespace {

using Rect = WindowPlacement::Rect;

const Rect kScreen{0, 0, 1280, 800};

TEST(WindowPlacementTest, AWindowIsKeptWhollyOnTheScreen) {
    struct Case {
        const char* name;
        Rect window;
        Rect placed;
    };
    const Case cases[] = {
        {"inside stays", {100, 200, 600, 400}, {100, 200, 600, 400}},
        {"off the right edge moves left", {1000, 100, 600, 400}, {680, 100, 600, 400}},
        {"above the top moves down", {100, -50, 600, 400}, {100, 0, 600, 400}},
        {"below the bottom moves up", {100, 700, 600, 400}, {100, 400, 600, 400}},
        {"larger than the screen shrinks", {-20, -20, 2000, 1000}, {0, 0, 1280, 800}},
        {"recorded on a screen since removed", {3000, 2000, 860, 640}, {420, 160, 860, 640}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowPlacement::onScreen(c.window, kScreen), c.placed) << c.name;
}

TEST(WindowPlacementTest, AWindowOpensCentredOnItsParentYetOnTheScreen) {
    EXPECT_EQ(WindowPlacement::centredOn(400, 200, {100, 100, 800, 600}, kScreen),
              (Rect{300, 300, 400, 200}));
    EXPECT_EQ(WindowPlacement::centredOn(400, 300, {1100, 700, 200, 100}, kScreen),
              (Rect{880, 500, 400, 300}));
    EXPECT_EQ(WindowPlacement::centredOn(400, 300, {0, 0, 1280, 800}, {1280, 0, 1920, 1080}),
              (Rect{1280, 250, 400, 300}));
}

}  // namespace
}  // namespace quill
