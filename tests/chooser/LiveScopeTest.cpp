#include "LiveScope.h"

#include <gtest/gtest.h>

namespace adc {
namespace {

TEST(LiveScope, OpensBesideTheWindowWhollyOnTheScreenOrLeavesItToTheWindowManager)
{
    const QRect screen(0, 0, 1600, 1000);
    const QSize main(616, 380); // the main window's frame, title bar included
    const QSize size(970, 637);
    const QSize least(650, 437);
    const auto place = [&](QPoint mainAt, const QRect &available) {
        return LiveScope::placeBeside(available, QRect(mainAt, main), size, least);
    };
    // To the right of a window at the top left, at full size, the title bar on the screen.
    std::optional<QRect> at = place({0, 0}, screen);
    ASSERT_TRUE(at);
    EXPECT_EQ(*at, QRect(QPoint(main.width() + LiveScope::kGap, 0), size));
    // A window low on the screen: beside it still, moved up to stay on the screen.
    at = place({0, 700}, screen);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->bottom(), screen.bottom());
    EXPECT_GT(at->left(), main.width());
    // At the right edge: to the left; below a window as wide as the screen allows beside it.
    at = place({screen.width() - main.width(), 300}, screen);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->right(), screen.width() - main.width() - LiveScope::kGap - 1);
    at = place({500, 0}, QRect(0, 0, 1600, 1200));
    ASSERT_TRUE(at);
    EXPECT_EQ(at->top(), main.height() + LiveScope::kGap);
    EXPECT_EQ(at->left(), 500);
    for (const QPoint &mainAt : {QPoint(0, 0), QPoint(0, 700), QPoint(500, 0)}) {
        const std::optional<QRect> beside = place(mainAt, screen);
        ASSERT_TRUE(beside);
        EXPECT_TRUE(screen.contains(*beside));
        EXPECT_FALSE(beside->intersects(QRect(mainAt, main)));
    }
    // A window in the middle leaves no side with room, nor does a small screen.
    EXPECT_FALSE(place({500, 320}, screen));
    EXPECT_FALSE(place({0, 0}, QRect(0, 0, 800, 600)));
}

} // namespace
} // namespace adc
