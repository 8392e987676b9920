#include "HistoryExport.h"

#include "RecordingFormat.h"
#include "RowFields.h"

#include <algorithm>

namespace adc {

bool writeHistoryCsv(std::ostream &out, const HistoryStore &history, std::int64_t from,
                     std::int64_t to, bool header)
{
    if (header) {
        out << RecordingFormat::kHeaderLine;
    }
    from = std::max(from, history.first());
    to = std::min(to, history.end());
    RowFields fields;
    char row[RowFields::kMaxCsvRow];
    double values[HistoryStore::kMaxStoreChannels];
    const auto channels = static_cast<std::size_t>(history.channelCount());
    for (std::int64_t i = from; i < to; ++i) {
        fields.setStamp(history.wallTime(i), history.micros(i), history.run(i));
        for (std::size_t k = 0; k < channels; ++k) {
            values[k] = history.value(i, static_cast<int>(k));
        }
        const char *end = fields.writeCsvRow(row, history.mode(), history.count(i),
                                             std::span<const double>(values, channels));
        out.write(row, end - row);
    }
    return static_cast<bool>(out);
}

} // namespace adc
