// Reads arbitrary input as lines of CSV, cut into pieces of arbitrary sizes, with or without a
// given channel count, and holds the framer, the reader and the wire's log to a plain reading
// of the same lines.

#include "CsvLineReader.h"
#include "TextReferenceModel.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const int given = data[0] % 4; // 0: the count comes from the lines
    const std::size_t piece = 1 + data[1] % 64;
    const std::string_view stream(reinterpret_cast<const char *>(data + 2), size - 2);

    adc::CsvLineReader reader(given);
    adc::fuzz::ReferenceCsv reference(given);
    adc::fuzz::holdToReference(reader, reference, stream, piece);
    return 0;
}
