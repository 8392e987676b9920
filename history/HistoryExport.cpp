#include "HistoryExport.h"

#include "RecordingFormat.h"

#include <algorithm>
#include <charconv>

namespace adc {

bool writeHistoryCsv(std::ostream &out, const HistoryStore &history, std::int64_t from,
                     std::int64_t to, bool header)
{
    using F = RecordingFormat;
    if (header) {
        out << F::kHeaderLine;
    }
    from = std::max(from, history.first());
    to = std::min(to, history.end());
    char row[512];
    for (std::int64_t i = from; i < to; ++i) {
        const std::int64_t micros = history.micros(i);
        char *p = F::writeTime(row, history.startTime() + std::chrono::microseconds(micros));
        *p++ = ',';
        p = std::to_chars(p, p + 24, micros / 1'000'000).ptr;
        *p++ = '.';
        char fraction[8];
        const auto digits = std::to_chars(fraction, fraction + 8, 1'000'000 + micros % 1'000'000);
        p = std::copy(fraction + 1, digits.ptr, p);
        *p++ = ',';
        p = std::to_chars(p, p + 24, history.run()).ptr;
        *p++ = ',';
        const std::string_view mode = F::modeName(history.mode());
        p = std::copy(mode.begin(), mode.end(), p);
        *p++ = ',';
        p = std::to_chars(p, p + 24, history.count(i)).ptr;
        for (int k = 0; k < kMaxChannels; ++k) {
            *p++ = ',';
            if (k < history.channelCount()) {
                p = F::writeValue(p, history.value(i, k));
            }
        }
        *p++ = '\n';
        out.write(row, p - row);
    }
    return static_cast<bool>(out);
}

} // namespace adc
