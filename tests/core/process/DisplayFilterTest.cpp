#include "process/DisplayFilter.h"
#include "support/FakeProcessLauncher.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class DisplayFilterTest : public test::QuillTest {
  protected:
    test::FakeProcessLauncher launcher;
};

TEST_F(DisplayFilterTest, TheMessageIsFedToTheCommandsWordsAndItsOutputAnswered) {
    launcher.script("shown text\n");
    std::string message(100000, 'm');
    EXPECT_EQ(runDisplayFilter(launcher, "  /usr/bin/filter  -q\tmode ", message), "shown text\n");
    ASSERT_EQ(launcher.launches().size(), 1u);
    const auto& launch = launcher.launches()[0];
    EXPECT_EQ(launch.request.argv, (std::vector<std::string>{"/usr/bin/filter", "-q", "mode"}));
    EXPECT_TRUE(launch.input == message);
}

TEST_F(DisplayFilterTest, NothingWhenTheCommandIsBlankOrCannotStart) {
    EXPECT_EQ(runDisplayFilter(launcher, " \t", "x"), std::nullopt);
    EXPECT_TRUE(launcher.launches().empty());
    launcher.failNextLaunch(EAGAIN);
    EXPECT_EQ(runDisplayFilter(launcher, "filter", "x"), std::nullopt);
}

}  // namespace
}  // namespace quill
