#pragma once

#include "PlotState.h"

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class QPainter;

namespace adc {

/// Draws what a PlotState shows onto a widget: the traces from the history's min/max index
/// (one smallest and largest value per pixel column and channel, whatever the length; a line
/// through each record when they are few), the grid and axes, the legend, the readout of the
/// record under the mouse and the markers. The margins' text (legend, value axis, titles) is
/// kept drawn in an image until what it shows changes.
class PlotPainter {
    Q_DECLARE_TR_FUNCTIONS(PlotPainter)

public:
    /// Where the traces go in a widget of `size`.
    static QRect plotRect(QSize size);
    static PlotState::Area areaOf(const QRect &plot);
    /// The colour channel `channel` of `mode` is drawn in.
    static QColor channelColour(Mode mode, int channel);

    /// What an empty plot says.
    void setEmptyText(const QString &text) { m_emptyText = text; }
    /// Whether the history grows: a still view of one that does not is not "PAUSED".
    void setGrowing(bool growing)
    {
        m_growing = growing;
        m_margins = QImage();
    }
    /// Paints the widget `p` draws on (of `size`) as `state` shows it, with the readout of the
    /// record nearest to `mouse`; of the traces, only those within `exposed` (none: all).
    void paint(QPainter &p, QSize size, const PlotState &state, std::optional<QPoint> mouse,
               const QRegion &exposed = QRegion());
    /// Each channel's entry in the legend, as last drawn (empty for channels the mode lacks).
    const std::array<QRect, HistoryStore::kMaxStoreChannels> &legendBoxes() const
    {
        return m_legendBoxes;
    }
    /// Whether the margins were last drawn for the run and mode of `state`'s history.
    bool marginsShow(const PlotState &state) const;

private:
    void drawMargins(QPainter &p, QSize size, const PlotState &state, const PlotState::Mapping &m);
    void drawPlot(QPainter &p, const PlotState &state, const PlotState::Mapping &m);
    void drawHint(QPainter &p, const QRect &plot);
    void drawTimeAxis(QPainter &labels, QPainter &lines, const PlotState &state,
                      const PlotState::Mapping &m);
    void drawValueAxis(QPainter *labels, QPainter *lines, const PlotState &state,
                       const PlotState::Mapping &m);
    static QString valueTitle(const PlotState &state);
    void drawFewTraces(QPainter &inPlot, const PlotState &state, const PlotState::Mapping &m);
    void drawLines(QPainter &inPlot, const PlotState &state, const PlotState::Mapping &m,
                   std::int64_t first, std::int64_t last);
    void drawManyTraces(const PlotState &state, const PlotState::Mapping &m);
    void copyColumns(int columns);
    void drawLegend(QPainter &p, QSize size, const PlotState &state);
    void drawReadout(QPainter &p, const PlotState &state, const PlotState::Mapping &m,
                     std::optional<QPoint> mouse);
    void drawMarkerLines(QPainter &p, const PlotState &state, const PlotState::Mapping &m);
    void drawTriggerMarks(QPainter &p, const PlotState &state, const PlotState::Mapping &m);

    QString m_emptyText =
        tr("No records yet: start a run with INT A/D Start or MCP3201 A/D Start.");
    std::array<QRect, HistoryStore::kMaxStoreChannels> m_legendBoxes{};
    bool m_growing = true;
    QRegion m_exposed;                  ///< the part of the widget being painted
    std::vector<std::int64_t> m_bounds; ///< the records of each pixel column, reused per paint
    QImage m_plotImage;                 ///< the plot area: grid and traces, drawn per paint
    std::vector<QRgb> m_columns;        ///< the traces of the plot area, column by column
    /// What the margins' image shows: it is drawn again only when one of these changes.
    struct MarginsKey {
        QSize size;
        qreal pixelRatio = 0.0;
        QString font;
        bool history = false;
        Mode mode = Mode::Int;
        std::int64_t run = 0;
        bool live = true;
        std::array<bool, HistoryStore::kMaxStoreChannels> hidden{};
        double low = 0.0, high = 0.0;
        PlotState::XAxis axis = PlotState::XAxis::Seconds;
        bool clock = false;
        ChannelUnits units;
        std::vector<std::string> names;
        bool operator==(const MarginsKey &) const = default;
    };
    MarginsKey m_marginsKey;
    QImage m_margins; ///< the whole widget but the plot and the time axis's tick labels
};

} // namespace adc
