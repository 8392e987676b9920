#pragma once

#include "HistoryStore.h"

#include <functional>

namespace adc {

/// Hands the run's records to a history and says when new ones came: the scope's tie to a
/// live run.
class LiveFeed : public RecordObserver {
public:
    /// `changed` is called after each record (it should only schedule work).
    LiveFeed(HistoryStore &history, std::function<void()> changed)
        : m_history(history), m_changed(std::move(changed))
    {
    }

    void runStarted(const RunStart &start) override
    {
        m_history.runStarted(start);
        m_changed();
    }
    void channelsNamed(std::span<const std::string> names) override
    {
        m_history.channelsNamed(names);
        m_changed();
    }
    void charactersTaken(const Stamp &stamp) override { m_history.charactersTaken(stamp); }
    void recordAccepted(const AcceptedRecord &record) override
    {
        m_history.recordAccepted(record);
        m_changed();
    }

private:
    HistoryStore &m_history;
    std::function<void()> m_changed;
};

} // namespace adc
