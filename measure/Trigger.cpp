#include "Trigger.h"

#include <algorithm>
#include <cmath>

namespace adc {

void Trigger::setSettings(const Settings &settings)
{
    m_settings = settings;
    m_settings.records = std::max<std::int64_t>(settings.records, 2);
    m_settings.before = std::clamp(settings.before, 0.0, 1.0);
    m_settings.hysteresis = std::abs(settings.hysteresis);
    forget();
}

void Trigger::forget()
{
    m_armed = true;
    m_ready = false;
    m_pending.reset();
    m_held.reset();
}

void Trigger::arm()
{
    m_armed = true;
    m_pending.reset();
}

std::int64_t Trigger::recordsBefore() const
{
    return std::llround(m_settings.before * static_cast<double>(m_settings.records - 1));
}

void Trigger::add(std::int64_t record, double value)
{
    m_next = record + 1;
    if (m_pending && record >= *m_pending - recordsBefore() + m_settings.records - 1) {
        // The stretch of the pending edge is complete with this record.
        m_held = m_pending;
        m_pending.reset();
        m_armed = m_settings.sweep != Sweep::Single;
    }
    const double level = m_settings.level;
    const double h = m_settings.hysteresis;
    const bool rising = m_settings.edge == Edge::Rising;
    const bool past = rising ? value >= level : value <= level;
    if (!past) {
        m_ready = m_ready || (rising ? value < level - h : value > level + h);
        return;
    }
    if (m_ready && m_armed && !m_pending) {
        m_pending = record;
    }
    m_ready = false;
}

void Trigger::follow(const HistoryStore &history)
{
    if (history.startTime() != m_runStart || history.end() < m_next || history.first() > m_next) {
        forget();
        m_next = history.first();
        m_runStart = history.startTime();
    }
    const int channel = m_settings.channel;
    if (channel < 0 || channel >= history.channelCount()) {
        m_next = history.end();
        return;
    }
    for (std::int64_t i = m_next; i < history.end(); ++i) {
        add(i, history.value(i, channel));
    }
}

std::optional<Trigger::Stretch> Trigger::held(std::int64_t end) const
{
    const std::int64_t length = m_settings.records;
    if (m_held) {
        const std::int64_t start = *m_held - recordsBefore();
        // Auto lets a stretch go once a whole stretch's length has passed without another.
        if (m_settings.sweep != Sweep::Auto || end <= start + 2 * length) {
            return Stretch{start, start + length, m_held};
        }
    }
    if (m_settings.sweep == Sweep::Auto) {
        return Stretch{std::max<std::int64_t>(end - length, 0), end, std::nullopt};
    }
    return std::nullopt;
}

} // namespace adc
