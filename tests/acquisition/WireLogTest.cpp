#include "WireLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

using namespace adc;

namespace {

// Allocations made by this program, so that a test can tell that a stretch of code made none.
std::atomic<long> g_allocations{0};

} // namespace

void *operator new(std::size_t size)
{
    ++g_allocations;
    if (void *p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

TEST(WireLog, KeepsTheLastLinesInMemorySetAsideOnce)
{
    WireLog log;
    const std::string longLine(100'000, '7');
    const long before = g_allocations;
    for (int i = 1; i <= 2500; ++i) {
        log.add(i % 10 == 0 ? std::string_view(longLine) : "23.5,1013.2,40",
                i % 7 == 0 ? LineVerdict::dropped(DropReason::OtherCount) : LineVerdict::taken());
    }
    log.add(std::string_view(longLine).substr(0, 300), LineVerdict::dropped(DropReason::TooLong),
            1'000'000);
    EXPECT_EQ(g_allocations - before, 0) << "adding a line allocates nothing";
    EXPECT_FALSE(log.text().empty());
    EXPECT_GT(g_allocations - before, 0) << "the count sees allocations";
    ASSERT_EQ(log.size(), WireLog::kCapacity);
    EXPECT_EQ(log.total(), 2501);
    EXPECT_EQ(log.entry(0).number, 1502);
    const WireLog::Entry tenth = log.entry(1510 - 1502);
    EXPECT_EQ(tenth.number, 1510);
    EXPECT_TRUE(tenth.cut());
    EXPECT_EQ(tenth.text.size(), WireLog::kKeptCharacters);
    EXPECT_EQ(tenth.length, longLine.size());
    EXPECT_EQ(log.entry(1512 - 1502).text, "23.5,1013.2,40");
    const WireLog::Entry last = log.entry(log.size() - 1);
    EXPECT_EQ(last.length, 1'000'000u);
    EXPECT_EQ(last.verdict, LineVerdict::dropped(DropReason::TooLong));
    log.clear();
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(log.total(), 0);
}

TEST(WireLog, TellsWhatBecameOfEachLineAndHoldsStillWhilePaused)
{
    WireLog log;
    log.add("temp,hum", LineVerdict::names());
    log.add("3,40", LineVerdict::skipped());
    log.add("1,2", LineVerdict::taken());
    log.add("PIC 0:1", LineVerdict::dropped(DropReason::TooFewFields));
    log.add("1,x\\\x01", LineVerdict::dropped(DropReason::NotANumber));
    log.pause();
    for (int i = 0; i < 5; ++i) {
        log.add("4,5", i < 3 ? LineVerdict::taken() : LineVerdict::dropped(DropReason::WrongTag));
    }
    EXPECT_EQ(log.size(), 5u);
    EXPECT_EQ(log.sincePause(), 5);
    EXPECT_EQ(log.takenSincePause(), 3);
    log.resume();
    log.add(std::string(300, 'a'), LineVerdict::dropped(DropReason::OtherCount));
    EXPECT_EQ(log.text(), "names\ttemp,hum\n"
                          "skipped (first line)\t3,40\n"
                          "taken\t1,2\n"
                          "dropped: too few fields\tPIC 0:1\n"
                          "dropped: not a number\t1,x\\\\\\x01\n"
                          "(5 lines not kept while paused)\n"
                          "dropped: another count of values\t" +
                              std::string(WireLog::kKeptCharacters, 'a') +
                              " ... (cut: 300 characters)\n");
}
