#include "PlotPicture.h"

#include "PlotPainter.h"

#include <QPainter>

namespace adc {

QImage PlotPicture::draw(const HistoryStore &history, std::int64_t first, std::int64_t end,
                         QSize size, const ChannelUnits &units)
{
    PlotState state;
    state.setHistory(&history);
    state.setUnits(units);
    state.setArea(PlotPainter::areaOf(PlotPainter::plotRect(size)));
    state.showRecords(first, end);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    PlotPainter painter;
    painter.setEmptyText(QString());
    painter.setGrowing(false);
    painter.paint(p, size, state, std::nullopt);
    return image;
}

} // namespace adc
