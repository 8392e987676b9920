// Frames arbitrary input, cut into pieces of arbitrary sizes, and holds the result to the
// character-at-a-time reading of the stream.

#include "RecordFramer.h"
#include "ReferenceModel.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const char sync = (data[0] & 1) ? 'P' : 'M';
    const std::size_t piece = 1 + data[1] % 64;
    const std::string_view stream(reinterpret_cast<const char *>(data + 2), size - 2);

    adc::RecordFramer framer(sync);
    std::vector<std::string> got;
    std::string_view rest = stream;
    while (!rest.empty()) {
        std::string_view chunk = rest.substr(0, piece);
        rest.remove_prefix(chunk.size());
        while (framer.feed(chunk)) {
            const std::string &r = framer.record();
            if (r.size() > adc::RecordFramer::kMaxRecordLength || r.front() != sync ||
                r.back() != ' ') {
                std::abort();
            }
            got.push_back(r);
        }
        if (framer.record().capacity() > 2 * adc::RecordFramer::kMaxRecordLength + 64) {
            std::abort(); // memory must stay bounded however long a line is
        }
    }
    if (got != adc::fuzz::referenceRecords(sync, stream)) {
        std::abort();
    }
    return 0;
}
