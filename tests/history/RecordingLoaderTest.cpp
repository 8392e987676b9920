#include "RecordingLoader.h"
#include "RecordingFormat.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

using namespace adc;

namespace {

/// `size` NUL bytes, made as they are read (a 2 GB file of NULs, /dev/zero); counts what was
/// read.
class Nuls : public std::streambuf {
public:
    explicit Nuls(std::uint64_t size) : m_left(size), m_block(1 << 16, '\0') {}
    std::uint64_t served = 0;

protected:
    int_type underflow() override
    {
        if (m_left == 0) {
            return traits_type::eof();
        }
        const std::uint64_t n = std::min<std::uint64_t>(m_left, m_block.size());
        m_left -= n;
        served += n;
        setg(m_block.data(), m_block.data(), m_block.data() + n);
        return 0;
    }

private:
    std::uint64_t m_left;
    std::string m_block;
};

TEST(RecordingLoader, RunsThatTakeTurnsAreRunsOfTheirOwnAndALineWithoutEndIsRefusedEarly)
{
    // Runs 1 and 2 taking turns row by row; then run 1 again from its start: a run of its own.
    std::ostringstream file;
    file << RecordingFormat::kHeaderLine;
    for (int i = 0; i < 10; ++i) {
        for (int run = 1; run <= 2; ++run) {
            file << "2026-12-07T00:00:00.000Z,0." << i << "00000," << run << ",MCP3201," << i + 1
                 << "," << run * 100 + i << ",0,,,,,,\n";
        }
    }
    file << "2026-12-07T00:00:09.000Z,0.000000,1,MCP3201,1,7,7,,,,,,\n";
    std::istringstream in(file.str());
    RecordingLoader loader(100);
    ASSERT_TRUE(loader.load(in)) << loader.error();
    ASSERT_EQ(loader.runs().size(), 3u);
    for (int run = 1; run <= 2; ++run) {
        const HistoryStore &h = *loader.runs()[static_cast<std::size_t>(run - 1)].history;
        EXPECT_EQ(h.run(), run);
        ASSERT_EQ(h.end(), 10);
        EXPECT_EQ(h.value(9, 0), run * 100 + 9);
        EXPECT_EQ(h.micros(9), 900'000);
    }
    EXPECT_EQ(loader.runs()[2].rows, 1);

    // NULs without a line feed: refused after a bounded read, not held in memory whole.
    Nuls nuls(std::uint64_t{1} << 30);
    std::istream zeros(&nuls);
    RecordingLoader refused(100);
    EXPECT_FALSE(refused.load(zeros));
    EXPECT_EQ(refused.error(), "line 1: longer than 65536 bytes, not a row of a recording");
    EXPECT_LE(nuls.served, 4u << 20);
}

} // namespace
