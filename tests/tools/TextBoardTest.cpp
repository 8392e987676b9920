#include "TextBoard.h"
#include "CsvLineReader.h"
#include "KeyValueLineReader.h"
#include "LineFramer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace adc;

namespace {

// The values of each line `board` prints, as `reader` takes them; every line must be taken
// but the first (the names, or a line that may have been cut).
std::vector<std::vector<double>> readBack(TextBoard &board, LineReader &reader, int lines)
{
    std::string stream;
    for (int i = 0; i < lines; ++i) {
        board.appendLine(stream);
    }
    LineFramer framer;
    std::string_view input = stream;
    std::vector<std::vector<double>> rows;
    while (framer.feed(input)) {
        if (reader.read(framer) == LineVerdict::taken()) {
            rows.emplace_back(reader.values().begin(), reader.values().end());
        }
    }
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(lines - 1));
    EXPECT_TRUE(input.empty());
    return rows;
}

} // namespace

TEST(TextBoard, PrintsNamedChannelsThatItsReadersTake)
{
    TextBoard csv(TextBoard::Format::Csv, 4, 1);
    CsvLineReader csvReader;
    const auto rows = readBack(csv, csvReader, 201);
    EXPECT_EQ(std::vector<std::string>(csvReader.names().begin(), csvReader.names().end()),
              (std::vector<std::string>{"temp", "hum", "pres", "light"}));
    // Sine, ramp, square and noise around each sensor's level.
    std::set<double> square;
    int rampRises = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_NEAR(rows[i][0], 22.0, 3.01);
        EXPECT_NEAR(rows[i][3], 500.0, 300.01);
        square.insert(rows[i][2]);
        rampRises += i > 0 && rows[i][1] > rows[i - 1][1];
    }
    EXPECT_EQ(square, (std::set<double>{1009.0, 1017.0}));
    EXPECT_GE(rampRises, 190);

    TextBoard pairs(TextBoard::Format::KeyValue, 10, 1, "\n");
    KeyValueLineReader pairReader;
    readBack(pairs, pairReader, 50);
    ASSERT_EQ(pairReader.names().size(), 10u);
    EXPECT_EQ(pairReader.names()[9], "hum2");

    // The same seed gives the same lines; another changes the noise alone.
    std::string five, again, six;
    for (auto [seed, out] : {std::pair{5, &five}, {5, &again}, {6, &six}}) {
        TextBoard(TextBoard::Format::KeyValue, 4, seed).appendLine(*out);
    }
    EXPECT_EQ(five, again);
    EXPECT_NE(five, six);
    EXPECT_TRUE(six.starts_with("temp:22.00,hum:35.00,pres:1017.00,light:")) << six;
}
