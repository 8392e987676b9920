#include "WindowDisplay.h"

#include "FilledShape.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>

#include <algorithm>

namespace adc {

WindowDisplay::WindowDisplay(const std::array<QLineEdit *, kMaxChannels> &valueBoxes,
                             QLineEdit *countBox, FilledShape *indicator, StripChart *chart,
                             QObject *parent)
    : QObject(parent), m_indicator(indicator), m_chart(chart)
{
    for (std::size_t k = 0; k < m_values.size(); ++k) {
        m_values[k].edit = valueBoxes[k];
    }
    m_count.edit = countBox;
    const auto watch = [this](Box &box) {
        box.shown = box.edit->text().toLatin1().toStdString();
        box.startText = box.shown;
        // What the user types stays until the run next writes the box, whatever it writes.
        connect(box.edit, &QLineEdit::textEdited, this, [&box] { box.shownKnown = false; });
    };
    for (Box &box : m_values) {
        watch(box);
    }
    watch(m_count);
    m_segments.reserve(1024);
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &WindowDisplay::flush);
}

void WindowDisplay::showValueText(int channel, std::string_view text)
{
    if (channel < 0 || channel >= kMaxChannels) {
        return;
    }
    store(m_values[static_cast<std::size_t>(channel)], text);
}

void WindowDisplay::resetValue(int channel)
{
    if (channel < 0 || channel >= kMaxChannels) {
        return;
    }
    Box &box = m_values[static_cast<std::size_t>(channel)];
    store(box, box.startText);
}

void WindowDisplay::showCount(std::string_view text)
{
    store(m_count, text);
}

void WindowDisplay::markRunning()
{
    m_indicator->setFillColour(runningColour());
}

void WindowDisplay::markWaiting()
{
    flush();
    m_indicator->setFillColour(idleColour());
}

void WindowDisplay::drawStep(const Step &step)
{
    const StripChart::Segment segment = StripChart::segmentOf(step);
    // Once the traces have run off the right edge (without sweep) every segment lands here: drop
    // it at once.
    if (!m_chart->shows(segment)) {
        return;
    }
    m_segments.push_back(segment);
    schedule();
}

void WindowDisplay::runEnded(std::string_view)
{
    flush();
    m_indicator->setFillColour(idleColour());
}

void WindowDisplay::flush()
{
    m_frameTimer.stop();
    m_scheduled = false;
    const auto apply = [](Box &box) {
        if (!box.dirty) {
            return;
        }
        box.dirty = false;
        if (box.shownKnown && box.text == box.shown) {
            return;
        }
        box.shown = box.text;
        box.shownKnown = true;
        box.edit->setText(
            QString::fromLatin1(box.text.data(), static_cast<qsizetype>(box.text.size())));
        // A box shows its text from the first character, even when the text is too long for it
        // (a carriage return at the end is enough for that).
        box.edit->setCursorPosition(0);
    };
    for (Box &box : m_values) {
        apply(box);
    }
    apply(m_count);
    if (!m_segments.empty()) {
        m_chart->drawSegments(m_segments);
        m_segments.clear();
    }
    // Paint now rather than on a later turn of the event loop, which a flood may take first:
    // the frame reaches the screen when it is due and not after the next block of records.
    QCoreApplication::sendPostedEvents(m_chart->window(), QEvent::UpdateRequest);
    m_sinceFrame.start();
}

void WindowDisplay::clearChart()
{
    // Segments still waiting were given before the clear: they are erased with the rest.
    m_segments.clear();
    m_chart->clear();
}

void WindowDisplay::store(Box &box, std::string_view text)
{
    if (!box.dirty && box.shownKnown && text == box.shown) {
        return;
    }
    box.text.assign(text.data(), text.size());
    box.dirty = true;
    schedule();
}

void WindowDisplay::schedule()
{
    if (m_scheduled) {
        return;
    }
    m_scheduled = true;
    // After a quiet spell the change is shown once the run's turn is over; otherwise it waits
    // for the rest of the frame.
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : kFrameMilliseconds;
    m_frameTimer.start(static_cast<int>(std::max<qint64>(0, kFrameMilliseconds - since)));
}

} // namespace adc
