#pragma once

#include "ChannelUnits.h"
#include "HistoryStore.h"

#include <QImage>
#include <QSize>

#include <cstdint>

namespace adc {

/// The scope's picture of a stretch of a history, drawn without a window (for --plot): the
/// traces, axes and legend of records [first, end) with the channels' names and units, still
/// (a finished recording: never "PAUSED"), at the scope's value scale.
class PlotPicture {
public:
    static QImage draw(const HistoryStore &history, std::int64_t first, std::int64_t end,
                       QSize size, const ChannelUnits &units);
};

} // namespace adc
