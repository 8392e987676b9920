#include "SimulatorOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace adc;

namespace {

SimulatorOptions::ParseResult parse(std::vector<std::string_view> arguments)
{
    return SimulatorOptions::parse(arguments);
}

TEST(SimulatorOptions, DefaultsAreABothModeBoardAt9600Baud)
{
    const auto [o, error] = parse({});
    EXPECT_EQ(error, "");
    EXPECT_EQ(o.modes, (std::vector{Mode::Int, Mode::Mcp3201}));
    EXPECT_EQ(o.pacing, SimulatorOptions::Pacing::Baud);
    EXPECT_EQ(o.baud, 9600u);
    EXPECT_EQ(o.lineEnd(), "\r\n");
    EXPECT_FALSE(o.count.has_value());
    EXPECT_FALSE(o.seed.has_value());
    EXPECT_EQ(o.noise, 0.0);
    EXPECT_TRUE(o.device.empty());
    EXPECT_TRUE(o.link.empty());
}

TEST(SimulatorOptions, ReadsEveryOptionInBothSpellings)
{
    const auto [o, error] =
        parse({"--mode", "mcp", "--rate=250", "--count", "17", "--seed=18446744073709551615",
               "--noise", "0.25", "--line-ending=lf", "--link", "/tmp/board"});
    ASSERT_EQ(error, "");
    EXPECT_EQ(o.modes, std::vector{Mode::Mcp3201});
    EXPECT_EQ(o.pacing, SimulatorOptions::Pacing::Rate);
    EXPECT_EQ(o.rate, 250.0);
    EXPECT_EQ(o.count, 17u);
    EXPECT_EQ(o.seed, 18446744073709551615u);
    EXPECT_EQ(o.noise, 0.25);
    EXPECT_EQ(o.lineEnd(), "\n");
    EXPECT_EQ(o.link, "/tmp/board");

    const auto [p, error2] = parse({"--mode=int", "--baud", "115200", "--device", "/dev/null"});
    ASSERT_EQ(error2, "");
    EXPECT_EQ(p.modes, std::vector{Mode::Int});
    EXPECT_EQ(p.baud, 115200u);
    EXPECT_EQ(p.pacing, SimulatorOptions::Pacing::Baud);
    EXPECT_EQ(p.device, "/dev/null");

    const auto [q, error3] = parse({"--rate", "max", "--help"});
    ASSERT_EQ(error3, "");
    EXPECT_EQ(q.pacing, SimulatorOptions::Pacing::Max);
    EXPECT_TRUE(q.help);
}

TEST(SimulatorOptions, RefusesUnknownOptionsAndBadValues)
{
    const std::vector<std::vector<std::string_view>> bad = {
        {"--speed", "9600"},
        {"extra"},
        {"-x"},
        {"--mode", "INT"},
        {"--mode"},
        {"--mode="},
        {"--baud", "0"},
        {"--baud", "96OO"},
        {"--baud", "-9600"},
        {"--baud", "99999999999"},
        {"--rate", "0"},
        {"--rate", "fast"},
        {"--rate", "-5"},
        {"--rate", "nan"},
        {"--count", "1.5"},
        {"--count", "-1"},
        {"--seed", "abc"},
        {"--noise", "1.5"},
        {"--noise", "-0.1"},
        {"--noise", "inf"},
        {"--line-ending", "cr"},
        {"--device", ""},
        {"--help=yes"},
        {"--baud", "9600", "--rate", "10"},
        {"--device", "/tmp/x", "--link", "/tmp/y"},
    };
    for (const auto &arguments : bad) {
        std::string joined;
        for (auto a : arguments) {
            joined += std::string(a) + " ";
        }
        EXPECT_NE(parse(arguments).error, "") << joined;
    }
    EXPECT_NE(parse({"--speed"}).error.find("--speed"), std::string::npos);
    EXPECT_NE(parse({"--noise", "7"}).error.find("--noise"), std::string::npos);
}

TEST(SimulatorOptions, AnOptionWithoutItsValueIsNamedAndAStrayWordIsNoOption)
{
    EXPECT_EQ(parse({"--rate", "--count", "5"}).error, "option --rate needs a value");
    EXPECT_EQ(parse({"--link", "-h"}).error, "option --link needs a value");
    EXPECT_EQ(parse({"--count", "5", "extra"}).error, "unexpected argument 'extra'");
    EXPECT_EQ(parse({"--frobnicate"}).error, "unknown option '--frobnicate'");
    EXPECT_TRUE(parse({"--version"}).options.version);
}

TEST(SimulatorOptions, AReplayTakesItsPaceFromTheRecordingAndNoMadeUpRecords)
{
    const auto [o, error] = parse({"--replay", "run.csv", "--speed", "2.5", "--count", "9"});
    ASSERT_EQ(error, "");
    EXPECT_EQ(o.replay, "run.csv");
    EXPECT_EQ(o.speed, 2.5);
    EXPECT_EQ(parse({"--replay", "run.csv"}).options.speed, 1.0);
    EXPECT_EQ(parse({"--replay=run.csv", "--rate", "max", "--link", "/tmp/b"}).error, "");
    for (const auto &arguments : std::vector<std::vector<std::string_view>>{
             {"--replay", "r.csv", "--mode", "int"},
             {"--replay", "r.csv", "--noise", "0.1"},
             {"--replay", "r.csv", "--seed", "1"},
             {"--replay", "r.csv", "--baud", "9600"},
             {"--replay", "r.csv", "--rate", "100"},
             {"--replay", "r.csv", "--rate", "max", "--speed", "2"},
             {"--replay", "r.csv", "--speed", "0"},
             {"--replay", ""},
             {"--speed", "2"}}) {
        EXPECT_NE(parse(arguments).error, "") << arguments.back();
    }
}

TEST(SimulatorOptions, ABoardThatPrintsTextTakesItsFormatAndChannels)
{
    const auto [o, error] = parse({"--format", "keyvalue", "--channels=32", "--rate", "max"});
    ASSERT_EQ(error, "");
    EXPECT_EQ(o.format, Format::KeyValue);
    EXPECT_EQ(o.channels, 32);
    for (const auto &arguments :
         std::vector<std::vector<std::string_view>>{{"--format", "json"},
                                                    {"--format", "csv", "--channels", "33"},
                                                    {"--channels", "3"},
                                                    {"--format", "csv", "--mode", "int"},
                                                    {"--format", "csv", "--noise", "0.1"},
                                                    {"--format", "csv", "--replay", "r.csv"}}) {
        EXPECT_NE(parse(arguments).error, "") << arguments.back();
    }
}

} // namespace
