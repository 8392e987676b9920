#include "RecordJson.h"
#include "ManualClock.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>
#include <vector>

using namespace adc;
using namespace std::chrono_literals;

namespace {

TEST(RecordJson, ARecordIsAnObjectWithTheRecordingsFieldsAndAGatheredBlockAnArray)
{
    RecordJson json;
    const std::chrono::system_clock::time_point morning(test::ManualClock::kMorning);
    json.setStamp({{morning, {}}, 52'113, 1});
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
    json.setStamp({{morning + 10s, {}}, 2'000'005, 2});
    const std::array<double, 2> one{7, 8};
    const std::array<double, 2> two{9, 4095};
    json.add({Mode::Mcp3201, 1, one});
    json.add({Mode::Mcp3201, 2, two});
    EXPECT_EQ(json.records(), 2u);
    EXPECT_EQ(json.message(), R"([{"time":"2026-12-07T08:15:12.123Z","seconds":2.000005,"run":2,)"
                              R"("mode":"MCP3201","count":1,"ch0":7,"ch1":8},)"
                              R"({"time":"2026-12-07T08:15:12.123Z","seconds":2.000005,"run":2,)"
                              R"("mode":"MCP3201","count":2,"ch0":9,"ch1":4095}])");
    // A record added after the message was taken begins the next one.
    json.add({Mode::Mcp3201, 3, one});
    EXPECT_EQ(json.records(), 1u);
    EXPECT_TRUE(json.message().starts_with(R"({"time")"));

    // Another board's channels are named as the recording's columns; a missing value is null.
    json.clear();
    const std::vector<std::string> names{"temp", "say \"hi\"\\"};
    json.setNames(names);
    const std::array<double, 2> text{-23.5, std::numeric_limits<double>::quiet_NaN()};
    json.add({Mode::KeyValue, 4, text});
    EXPECT_TRUE(
        json.message().ends_with(R"("mode":"keyvalue","count":4,"temp":-23.5,"say__hi__":null})"))
        << json.message();
}

} // namespace
