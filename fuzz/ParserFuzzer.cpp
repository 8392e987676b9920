// Parses arbitrary records and checks the value texts and ordinates against a plain walk of
// the fields, a plain reading of the number rule and the mode's scale.

#include "RecordParser.h"
#include "ReferenceModel.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// `size` bytes as the framer hands a record on: no line feed, no NUL, a closing blank.
std::string framed(const std::uint8_t *data, std::size_t size)
{
    std::string record;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c != '\n' && c != '\0') {
            record.push_back(c);
        }
    }
    record.push_back(' ');
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    const adc::Mode mode = (data[0] & 1) ? adc::Mode::Int : adc::Mode::Mcp3201;
    const adc::ModeInfo &info = adc::modeInfo(mode);
    std::string record = framed(data + 1, size - 1);
    if (record.size() > adc::RecordFramer::kMaxRecordLength) {
        return 0;
    }
    const std::string original = record;
    const auto expected = adc::fuzz::referenceFields(info, original);

    adc::RecordParser::ValueTexts texts{};
    adc::OrdinateTable ordinates;
    ordinates.fill(12345);
    const bool accepted = adc::RecordParser::parse(info, record, texts, ordinates);
    if (accepted != expected.has_value()) {
        std::abort();
    }
    if (!accepted) {
        if (record != original || ordinates[0] != 12345) {
            std::abort(); // a dropped record has no effect
        }
        return 0;
    }
    for (int k = 0; k < info.channelCount; ++k) {
        if (texts[k] != (*expected)[k]) {
            std::abort();
        }
        const double v = adc::fuzz::referenceValue((*expected)[k]);
        if (!(v >= 0.0) || ordinates[k] != adc::fuzz::referenceOrdinate(mode, v)) {
            std::abort();
        }
    }
    for (int k = info.channelCount; k < adc::kOrdinateSlots; ++k) {
        if (ordinates[k] != 12345) {
            std::abort();
        }
    }
    return 0;
}
