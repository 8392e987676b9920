#pragma once

#include "HistoryStore.h"

#include <cstdint>
#include <ostream>

namespace adc {

/// Writes records [from, to) of `history` to `out` as a recording: the header (unless
/// `header` is false, for the blocks after the first) and one row per record with the
/// recording's columns, each record as the recording wrote it (see RowFields). Returns whether
/// every row was written.
bool writeHistoryCsv(std::ostream &out, const HistoryStore &history, std::int64_t from,
                     std::int64_t to, bool header = true);

} // namespace adc
