#include "Trigger.h"

#include <gtest/gtest.h>

using namespace adc;

namespace {

// A square wave of period 100 records, low for records 0-49 and high for 50-99 of each
// period, so rising edges at 50, 150, ... and falling ones at 100, 200, ...; the stretch is 200
// records, a quarter of them before the trigger.
double square(std::int64_t i)
{
    return (i % 100) < 50 ? 100.0 : 900.0;
}

Trigger fed(Trigger::Settings settings, std::int64_t records)
{
    Trigger trigger;
    trigger.setSettings(settings);
    for (std::int64_t i = 0; i < records; ++i) {
        trigger.add(i, square(i));
    }
    return trigger;
}

TEST(Trigger, HoldsTheStretchAroundTheLastCompleteEdgeInEachSweep)
{
    Trigger::Settings s;
    s.level = 500;
    s.records = 200;
    s.before = 50.0 / 199; // 50 records before the trigger
    s.sweep = Trigger::Sweep::Normal;
    // Edges taken: 50 (complete with record 199), then 250, 450, 650, 850 (complete with 999);
    // those while a stretch fills are passed over.
    EXPECT_EQ(fed(s, 1000).held(1000), (Trigger::Stretch{800, 1000, 850}));
    EXPECT_EQ(fed(s, 999).held(999), (Trigger::Stretch{600, 800, 650}));
    EXPECT_FALSE(fed(s, 199).held(199));
    s.edge = Trigger::Edge::Falling;
    // The first falling edge is at 100 (the wave starts low): then 300, 500, 700.
    EXPECT_EQ(fed(s, 1000).held(1000), (Trigger::Stretch{650, 850, 700}));

    // Single: the first stretch stays, until armed again.
    s.edge = Trigger::Edge::Rising;
    s.sweep = Trigger::Sweep::Single;
    Trigger single = fed(s, 1000);
    EXPECT_EQ(single.held(1000), (Trigger::Stretch{0, 200, 50}));
    EXPECT_FALSE(single.armed());
    single.arm();
    for (std::int64_t i = 1000; i < 1300; ++i) {
        single.add(i, square(i));
    }
    EXPECT_EQ(single.held(1300), (Trigger::Stretch{1000, 1200, 1050}));

    // Auto: as Normal while edges come; a flat signal rolls with the newest records.
    s.sweep = Trigger::Sweep::Auto;
    Trigger automatic = fed(s, 1000);
    EXPECT_EQ(automatic.held(1000), (Trigger::Stretch{800, 1000, 850}));
    for (std::int64_t i = 1000; i < 1401; ++i) {
        automatic.add(i, 100.0);
    }
    EXPECT_EQ(automatic.held(1401), (Trigger::Stretch{1201, 1401, std::nullopt}));
    EXPECT_EQ(fed(s, 120).held(120), (Trigger::Stretch{0, 120, std::nullopt}));

    // Noise within the hysteresis makes no edge of its own.
    s.sweep = Trigger::Sweep::Normal;
    s.hysteresis = 50;
    Trigger noisy;
    noisy.setSettings(s);
    for (std::int64_t i = 0; i < 1000; ++i) {
        noisy.add(i, i < 500 ? 480.0 + 40.0 * (i % 2) : square(i));
    }
    // Edges at 550 and 750 (without the hysteresis, 850 after those of the noise).
    EXPECT_EQ(noisy.held(1000), (Trigger::Stretch{700, 900, 750}));
}

} // namespace
