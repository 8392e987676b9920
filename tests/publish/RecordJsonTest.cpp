#include "RecordJson.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

using namespace adc;
using namespace std::chrono_literals;

namespace {

// 2026-12-07T08:15:02.123Z, and a monotonic Start.
constexpr auto kMorning =
    std::chrono::sys_days{std::chrono::year{2026} / 12 / 7} + 8h + 15min + 2s + 123ms;
const RecordJson::MonotonicClock::time_point kStart{100s};

TEST(RecordJson, ARecordIsAnObjectWithTheRecordingsFieldsAndAGatheredBlockAnArray)
{
    RecordJson json;
    json.runStarted(kStart);
    json.setTime(RecordJson::WallClock::time_point(kMorning), kStart + 52113us);
    const std::array<double, 8> values{512, 1.5,   1e22, std::numeric_limits<double>::infinity(),
                                       0,   -3.25, 4095, 1e-7};
    json.add({Mode::Int, 1, values});
    EXPECT_EQ(json.message(),
              R"({"time":"2026-12-07T08:15:02.123Z","seconds":0.052113,"run":1,"mode":"INT",)"
              R"("count":1,"ch0":512,"ch1":1.5,"ch2":1e+22,"ch3":null,"ch4":0,"ch5":-3.25,)"
              R"("ch6":4095,"ch7":1e-07})");
    // Asking twice changes nothing; the next record starts a new message.
    EXPECT_EQ(json.message().front(), '{');
    json.clear();
    EXPECT_EQ(json.records(), 0u);
    EXPECT_EQ(json.message(), "");

    // A second run: numbered 2, its seconds from its own Start; MCP3201 has two channels.
    const auto start = kStart + 10s;
    json.runStarted(start);
    json.setTime(RecordJson::WallClock::time_point(kMorning + 10s), start + 2s + 5us);
    const std::array<double, 2> first{7, 8};
    const std::array<double, 2> second{9, 4095};
    json.add({Mode::Mcp3201, 1, first});
    json.add({Mode::Mcp3201, 2, second});
    EXPECT_EQ(json.records(), 2u);
    EXPECT_EQ(json.message(), R"([{"time":"2026-12-07T08:15:12.123Z","seconds":2.000005,"run":2,)"
                              R"("mode":"MCP3201","count":1,"ch0":7,"ch1":8},)"
                              R"({"time":"2026-12-07T08:15:12.123Z","seconds":2.000005,"run":2,)"
                              R"("mode":"MCP3201","count":2,"ch0":9,"ch1":4095}])");
    // A record added after the message was taken begins the next one.
    json.add({Mode::Mcp3201, 3, first});
    EXPECT_EQ(json.records(), 1u);
    EXPECT_TRUE(json.message().starts_with(R"({"time")"));
}

} // namespace
