#pragma once

#include "HistoryStore.h"

#include <functional>

namespace adc {

/// Hands the run's records to a history and says when new ones came: the scope's tie to a
/// live run. Every call is passed on to the observer it stands in front of (the recorder), if
/// any.
class LiveFeed : public RecordObserver {
public:
    /// `changed` is called after each record (it should only schedule work).
    LiveFeed(HistoryStore &history, std::function<void()> changed)
        : m_history(history), m_changed(std::move(changed))
    {
    }

    /// The observer told after the history; nullptr for none.
    void setNext(RecordObserver *next) { m_next = next; }

    void runStarted(Mode mode) override
    {
        if (m_next != nullptr) {
            m_next->runStarted(mode);
        }
        m_history.runStarted(mode);
        m_changed();
    }
    void charactersTaken() override
    {
        if (m_next != nullptr) {
            m_next->charactersTaken();
        }
        m_history.charactersTaken();
    }
    void recordAccepted(const AcceptedRecord &record) override
    {
        if (m_next != nullptr) {
            m_next->recordAccepted(record);
        }
        m_history.recordAccepted(record);
        m_changed();
    }

private:
    HistoryStore &m_history;
    std::function<void()> m_changed;
    RecordObserver *m_next = nullptr;
};

} // namespace adc
