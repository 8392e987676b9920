// Feeds arbitrary bytes through a whole acquisition run, in pieces, and checks that it counts
// exactly the well-formed records and draws one step per channel for each, numbered in turn.

#include "AcquisitionRun.h"
#include "QuietPort.h"
#include "ReferenceModel.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class CheckingDisplay : public adc::Display {
public:
    std::int64_t records = 0;
    std::int64_t steps = 0;
    std::int64_t lastRecord = -1;
    int textsThisRecord = 0;
    int channels = 0;

    void showValueText(int channel, std::string_view text) override
    {
        if (channel != textsThisRecord || text.empty() || text.front() != '0') {
            std::abort();
        }
        ++textsThisRecord;
    }
    void showCount(std::string_view text) override
    {
        ++records;
        if (textsThisRecord != channels || text != std::to_string(records)) {
            std::abort();
        }
        textsThisRecord = 0;
    }
    void markRunning() override {}
    void drawStep(const adc::Step &s) override
    {
        if (s.record != records - 1) {
            std::abort();
        }
        ++steps;
        lastRecord = s.record;
    }
    void runEnded(std::string_view) override { std::abort(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const adc::Mode mode = (data[0] & 1) ? adc::Mode::Int : adc::Mode::Mcp3201;
    const adc::ModeInfo &info = adc::modeInfo(mode);
    const std::size_t piece = 1 + data[1] % 128;
    const std::string_view stream(reinterpret_cast<const char *>(data + 2), size - 2);

    std::int64_t expected = 0;
    for (const std::string &record : adc::fuzz::referenceRecords(info.sync, stream)) {
        if (record.compare(0, 3, info.tag) == 0 && record.size() >= 3 &&
            adc::fuzz::referenceFields(info, record)) {
            ++expected;
        }
    }

    adc::test::QuietPort port;
    CheckingDisplay display;
    display.channels = info.channelCount;
    adc::AcquisitionRun run(mode, port, display);
    // With the wire log, the records are framed line by line: the same records, every line logged.
    adc::WireLog wire;
    run.setWireLog((data[0] & 2) != 0 ? &wire : nullptr);
    if (!run.start()) {
        std::abort();
    }
    std::string_view rest = stream;
    while (!rest.empty()) {
        const std::string_view chunk = rest.substr(0, piece);
        rest.remove_prefix(chunk.size());
        run.process(chunk);
    }
    if (run.count() != expected || display.records != expected ||
        display.steps != expected * info.channelCount ||
        (expected > 0 && display.lastRecord != expected - 1) ||
        ((data[0] & 2) != 0 && wire.total() != std::ranges::count(stream, '\n'))) {
        std::abort();
    }
    return 0;
}
