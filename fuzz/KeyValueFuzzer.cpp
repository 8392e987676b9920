// Reads arbitrary input as lines of name:value pairs, cut into pieces of arbitrary sizes, and
// holds the framer, the reader, its counts and the wire's log to a plain reading of the same
// lines.

#include "KeyValueLineReader.h"
#include "TextReferenceModel.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view stream(reinterpret_cast<const char *>(data + 1), size - 1);

    adc::KeyValueLineReader reader;
    adc::fuzz::ReferenceKeyValue reference;
    adc::fuzz::holdToReference(reader, reference, stream, piece);
    if (reader.fieldsPassedOver() != reference.fieldsPassedOver ||
        reader.namesRefused() != reference.namesRefused) {
        std::abort();
    }
    return 0;
}
