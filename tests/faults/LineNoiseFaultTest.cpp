#include "FaultTest.h"

#include <QTest>

#include <string>
#include <vector>

namespace adc::test {
namespace {

using Piece = LineFeeder::Piece;

constexpr std::size_t kMiB = 1024 * 1024;

/// Records whose channel k carries first + k.
std::vector<Piece> records(int first, int count)
{
    std::vector<Piece> pieces;
    for (int i = 0; i < count; ++i) {
        const int v = first + i;
        pieces.push_back({picRecord({v, v + 1, v + 2, v + 3, v + 4, v + 5, v + 6, v + 7})});
    }
    return pieces;
}

void append(std::vector<Piece> &to, std::vector<Piece> more)
{
    for (Piece &piece : more) {
        to.push_back(std::move(piece));
    }
}

/// Noise on the line: floods, endless lines and bytes no board sends, in the INT mode.
class LineNoiseFault : public IntRunFaultTest {
protected:
    std::vector<QString> boxTexts() const
    {
        std::vector<QString> texts;
        for (QLineEdit *box : window->Text) {
            texts.push_back(box->text());
        }
        return texts;
    }
};

TEST_F(LineNoiseFault, TenMegabytesWithoutALineFeedAreDroppedWholeInBoundedMemory)
{
    constexpr std::size_t kLineBytes = 10 * kMiB;
    const std::string noise = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::vector<Piece> pieces = records(1, 5);
    pieces.push_back({"P"});
    pieces.push_back({noise, kLineBytes / noise.size()});
    pieces.push_back({"\r\n"});
    append(pieces, records(101, 5));
    probe->rebase();
    ASSERT_TRUE(feed(std::move(pieces), 10));
    EXPECT_EQ(window->run()->droppedRecords(), 1);
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("0105"));
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("0112"));
    EXPECT_EQ(window->run()->count(), 10);
    // Memory that held the line would show; a third of it is far more than the program needs.
    expectHealthy(static_cast<qint64>(kLineBytes / 3 / 1024));
}

TEST_F(LineNoiseFault, AFloodOfNulBytesAndNulsInsideRecordsKeepTheCountExact)
{
    // NULs everywhere in a record are dropped: it reads as the same record without them.
    std::string sprinkled;
    for (char c : picRecord({201, 202, 203, 204, 205, 206, 207, 208})) {
        sprinkled += c;
        sprinkled += '\0';
    }
    std::vector<Piece> pieces = records(1, 3);
    pieces.push_back({std::string(64 * 1024, '\0'), 4 * kMiB / (64 * 1024)});
    pieces.push_back({sprinkled});
    probe->rebase();
    ASSERT_TRUE(feed(std::move(pieces), 4));
    EXPECT_EQ(boxTexts(), (std::vector<QString>{"0201", "0202", "0203", "0204", "0205", "0206",
                                                "0207", "0208"}));

    // Megabytes of NULs inside a field are not characters of the record: "4", NULs, "2" is 42.
    pieces.clear();
    pieces.push_back({"PIC 0:4"});
    pieces.push_back({std::string(64 * 1024, '\0'), 3 * kMiB / (64 * 1024)});
    pieces.push_back({"2 1:7 2:7 3:7 4:7 5:7 6:7 7:7\n"});
    ASSERT_TRUE(feed(std::move(pieces), 5));
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("042"));
    EXPECT_EQ(window->Text[1]->text(), QStringLiteral("07"));

    pieces = {{std::string(64 * 1024, '\0'), kMiB / (64 * 1024)}};
    append(pieces, records(301, 3));
    ASSERT_TRUE(feed(std::move(pieces), 8));
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("0303"));
    EXPECT_EQ(window->run()->droppedRecords(), 0);
    // Eight MiB of NULs went by; keeping them would show.
    expectHealthy(2 * 1024);
}

TEST_F(LineNoiseFault, HighBytesShowAsLatin1AndKeepTheCountExact)
{
    std::string junk;
    for (int b = 128; b < 256; ++b) {
        junk += static_cast<char>(b);
    }
    // Channel k carries the value 100k + 5 followed by the sixteen bytes 128 + 16k ... .
    std::array<std::string, kMaxChannels> fields;
    std::array<QString, kMaxChannels> shown;
    for (int k = 0; k < kMaxChannels; ++k) {
        const std::string value = std::to_string(100 * k + 5);
        fields[static_cast<std::size_t>(k)] = value + junk.substr(16 * k, 16);
        QString text = QStringLiteral("0") + QString::fromStdString(value);
        for (int j = 0; j < 16; ++j) {
            text += QChar(char16_t(128 + 16 * k + j));
        }
        shown[static_cast<std::size_t>(k)] = text;
    }
    std::vector<Piece> pieces{{junk, 200}, {picRecordOfFields(fields)}, {junk, 200}};
    probe->rebase();
    ASSERT_TRUE(feed(std::move(pieces), 1));
    for (int k = 0; k < kMaxChannels; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(window->Text[k]->text(), shown[static_cast<std::size_t>(k)]);
        // The value ends where the high bytes begin: a level trace at 100k + 5.
        EXPECT_EQ(window->Picture1->image().pixelColor(0, intRow(100 * k + 5)),
                  colourOf(Mode::Int, k));
    }

    // High bytes in the tag make other records; high bytes right after ":" are a value of 0.
    pieces = {{"P\xC9"
               "C 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1\n"},
              {"\xD0IC 0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1\n"},
              {junk, 10},
              {"PIC 0:\xFF 1:\xE9t\xE9 2:2 3:3 4:4 5:5 6:6 7:\xA0\n"},
              {junk, 10}};
    append(pieces, records(11, 2));
    ASSERT_TRUE(feed(std::move(pieces), 4));
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("012"));
    EXPECT_EQ(window->run()->droppedRecords(), 1) << "P\\xC9C: a wrong tag";

    pieces = {{"PIC 0:\xFF 1:\xE9t\xE9 2:2 3:3 4:4 5:5 6:6 7:\xA0\n"}};
    ASSERT_TRUE(feed(std::move(pieces), 5));
    EXPECT_EQ(window->Text[0]->text(), QString::fromUtf16(u"0\u00FF"));
    EXPECT_EQ(window->Text[1]->text(), QString::fromUtf16(u"0\u00E9t\u00E9"));
    EXPECT_EQ(window->Text[7]->text(), QString::fromUtf16(u"0\u00A0"));
    expectHealthy(4 * 1024);
}

TEST_F(LineNoiseFault, ARecordPastTheLengthLimitIsDroppedWholeAndOneBelowItIsTaken)
{
    // 100,000 fields: far longer than any record may be.
    std::string huge = "PIC";
    for (int i = 0; i < 100000; ++i) {
        huge += " " + std::to_string(i % 8) + ":" + std::to_string(900 + i % 100);
    }
    huge += "\r\n";
    ASSERT_GT(huge.size(), 32767u);
    std::vector<Piece> pieces = records(1, 1);
    pieces.push_back({huge});
    probe->rebase();
    ASSERT_TRUE(feed(std::move(pieces), 1));
    EXPECT_EQ(window->run()->droppedRecords(), 1);
    // Nothing of it reached the boxes.
    EXPECT_EQ(boxTexts(), (std::vector<QString>{"01", "02", "03", "04", "05", "06", "07", "08"}));

    // Thousands of fields under the limit: taken, and only the first eight are used.
    std::string many = "PIC";
    for (int k = 0; k < kMaxChannels; ++k) {
        many += " " + std::to_string(k) + ":" + std::to_string(101 + k);
    }
    for (int i = 0; many.size() < 30000; ++i) {
        many += " " + std::to_string(i % 8) + ":" + std::to_string(500 + i % 100);
    }
    many += "\n";
    ASSERT_LT(many.size(), 32767u);
    ASSERT_TRUE(feed({{many}}, 2));
    EXPECT_EQ(boxTexts(), (std::vector<QString>{"0101", "0102", "0103", "0104", "0105", "0106",
                                                "0107", "0108"}));

    // At the limit: 32,766 characters before the line feed, with the closing blank 32,767, are
    // a record; one character more is not.
    const auto lineOf = [](std::size_t length, int value) {
        std::array<std::string, kMaxChannels> fields;
        fields.fill(std::to_string(value));
        std::string text = picRecordOfFields(fields, " ");
        text.resize(length, 'x');
        return text + "\n";
    };
    ASSERT_TRUE(feed({{lineOf(32766, 7)}, {lineOf(32767, 9)}}, 3));
    EXPECT_EQ(window->Text[0]->text(), QStringLiteral("07"));
    EXPECT_EQ(window->run()->droppedRecords(), 2);
    ASSERT_TRUE(feed(records(21, 1), 4));
    EXPECT_EQ(window->Text[7]->text(), QStringLiteral("028"));
    expectHealthy(4 * 1024);
}

} // namespace
} // namespace adc::test
