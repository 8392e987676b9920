#include "PlotState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

using namespace adc;

namespace {

constexpr PlotState::Area kArea{64, 62, 1000, 500};

/// `n` INT records from `firstMicros` on, `step` apart, as a recording read back gives them;
/// the first `sharing` of them at the first time.
void fill(HistoryStore &history, std::int64_t n, std::int64_t firstMicros, std::int64_t step,
          std::int64_t sharing = 1)
{
    std::array<double, kMaxChannels> row{};
    for (std::int64_t i = 0; i < n; ++i) {
        row.fill(static_cast<double>(i % 1024));
        history.append(firstMicros + std::max<std::int64_t>(0, i - sharing + 1) * step, i + 1, row);
    }
}

TEST(PlotState, ZoomAndPanKeepThePointUnderTheMouseAndTheNearestRecordIsTheOneThere)
{
    HistoryStore history;
    history.startRun(Mode::Int, 1, {});
    fill(history, 3000, 5'000, 10'000);
    PlotState state;
    state.setArea(kArea);
    state.setHistory(&history);
    // Live, the wheel changes the window; its right edge stays at the newest record.
    state.zoomTime(300.0, 0.5);
    EXPECT_EQ(state.xRange(), std::pair(29.995 - 5.0, 29.995));

    state.setLive(false);
    state.fitAll();
    const double px = kArea.left + 300.0;
    const double py = kArea.top + 350.0;
    const PlotState::Mapping before = state.mapping();
    state.zoomTime(px, 0.8 * 0.8);
    state.zoomTime(px, 1 / 0.8);
    state.zoomValues(py, 0.8);
    const PlotState::Mapping after = state.mapping();
    EXPECT_NEAR(after.xAt(px), before.xAt(px), 1e-9);
    EXPECT_NEAR(after.to - after.from, (before.to - before.from) * 0.8, 1e-9);
    EXPECT_NEAR(after.valueAt(py), before.valueAt(py), 1e-9);
    EXPECT_NEAR(after.hi - after.lo, 1023.0 * 0.8, 1e-9);
    EXPECT_EQ(state.valueScale(), PlotState::ValueScale::Zoomed);

    // A drag of 40 pixels takes what was under the mouse 40 pixels along.
    state.beginPan();
    state.panBy(40.0);
    EXPECT_NEAR(state.mapping().xAt(px + 40.0), after.xAt(px), 1e-9);

    // Zoomed in to about 40 pixels a record: the nearer of two neighbours.
    state.zoomTime(px, 0.01);
    const std::int64_t i = state.recordsInView().first + 3;
    const double at = state.mapping().pixelOfX(state.xOf(i));
    ASSERT_GT(state.mapping().pixelOfX(state.xOf(i + 1)) - at, 30.0);
    EXPECT_EQ(state.nearestRecord(at), i);
    EXPECT_EQ(state.nearestRecord(at + 14.0), i);
    EXPECT_EQ(state.nearestRecord(at + 26.0), i + 1);
}

// Every record is drawn: the first and the last in view, on the middles of the first and last
// pixel columns, whatever the rounding of their times to seconds; a lone record in the middle.
TEST(PlotState, EveryRecordOfTheRunIsInViewAtFitAllFromTheFirstToTheLast)
{
    struct Case {
        std::int64_t records, firstMicros, step, sharing;
    };
    // 2.059597 s is 2059597.0000000002 us once back from seconds; 0.052113 s is exact. Then 54
    // rows sharing the first time; rows of one time; a lone record; and more records than
    // columns, not a whole number of the index's blocks.
    for (const Case c :
         {Case{50, 2'059'597, 45'000, 1}, Case{50, 52'113, 45'000, 1},
          Case{3000, 2'059'597, 45'000, 54}, Case{54, 2'059'597, 0, 1}, Case{1, 2'059'597, 0, 1},
          Case{200'007, 2'059'597, 9, 1}, Case{200'007, 2'059'597, 45'000, 1}}) {
        HistoryStore history(c.records);
        history.startRun(Mode::Int, 1, {});
        fill(history, c.records, c.firstMicros, c.step, c.sharing);
        PlotState state;
        state.setArea(kArea);
        state.setHistory(&history);
        state.setLive(false);
        state.fitAll();
        EXPECT_EQ(state.recordsInView(), std::pair(std::int64_t{0}, c.records))
            << c.firstMicros << " " << c.records;
        const PlotState::Mapping m = state.mapping();
        const double middle = kArea.left + kArea.width / 2.0;
        EXPECT_DOUBLE_EQ(m.pixelOfX(state.xOf(0)), c.step == 0 ? middle : kArea.left + 0.5);
        EXPECT_DOUBLE_EQ(m.pixelOfX(state.xOf(c.records - 1)),
                         c.step == 0 ? middle : kArea.left + kArea.width - 0.5);
        std::vector<std::int64_t> bounds;
        state.columnRecords(bounds);
        EXPECT_EQ(bounds.front(), 0);
        EXPECT_EQ(bounds.back(), c.records);
    }
}

} // namespace

TEST(PlotState, TheValueAxisReadsInUnitsOnlyWhenEveryShownChannelSharesThem)
{
    HistoryStore history;
    history.startRun(Mode::Int, 1, {});
    fill(history, 10, 0, 1000);
    PlotState state;
    state.setArea(kArea);
    state.setHistory(&history);
    EXPECT_FALSE(state.axisUnitsChannel());
    ChannelUnits units;
    for (int k = 0; k < kMaxChannels; ++k) {
        units.set(k, {"", 5.0 / 1023, 0.0, "V"});
    }
    units.set(3, {"", 1.0, 0.0, "degC"});
    state.setUnits(units);
    EXPECT_FALSE(state.axisUnitsChannel());
    state.setChannelShown(3, false);
    ASSERT_EQ(state.axisUnitsChannel(), 0);
    // 0 to 1023 counts is 0 to 5 V: the ticks are whole volts, placed at their counts.
    const PlotState::Mapping m = state.mapping();
    const std::vector<AxisTicks::Tick> ticks = state.valueTicks(m, 5);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.back().label, "5");
    EXPECT_NEAR(ticks.back().at, 1023.0, 1e-9);
    EXPECT_NEAR(ticks[1].at - ticks[0].at, 1023.0 / 5, 1e-9);
}
