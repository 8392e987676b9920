#include "LiveScope.h"

#include <gtest/gtest.h>

namespace adc {
namespace {

TEST(LiveScope, OpensBesideTheWindowWhollyOnTheScreenOrLeavesItToTheWindowManager)
{
    const QRect screen(0, 0, 1600, 1000);
    const QSize main(616, 380); // the main window's frame, title bar included
    const QSize size(970, 637);
    const auto place = [&](QPoint mainAt) {
        return LiveScope::placeBeside(screen, QRect(mainAt, main), size, {650, 437});
    };
    // Right of a window at the top left, at full size; right of one low on the screen, moved up
    // to stay on it; left of one at the right edge; below one that leaves no room beside it.
    EXPECT_EQ(place({0, 0}), QRect(QPoint(main.width() + LiveScope::kGap, 0), size));
    EXPECT_EQ(place({0, 700}), QRect(QPoint(main.width() + LiveScope::kGap, 363), size));
    EXPECT_EQ(place({984, 300}), QRect(QPoint(984 - LiveScope::kGap - 970, 300), size));
    EXPECT_EQ(place({500, 0}), QRect(500, 380 + LiveScope::kGap, 970, 612));
    // A window in the middle leaves no side with room: the window manager decides.
    EXPECT_EQ(place({500, 320}), std::nullopt);
}

} // namespace
} // namespace adc
