#pragma once

#include "RecordObserver.h"

#include <vector>

namespace adc {

/// Passes what the run tells one observer on to any number of them, in the order they were
/// added.
class RecordFanOut : public RecordObserver {
public:
    /// `observer` is told from now on; it stays owned by the caller.
    void add(RecordObserver *observer);
    void remove(RecordObserver *observer);
    bool empty() const { return m_observers.empty(); }

    void runStarted(Mode mode) override;
    void charactersTaken() override;
    void recordAccepted(const AcceptedRecord &record) override;
    void charactersDone() override;

private:
    std::vector<RecordObserver *> m_observers;
};

} // namespace adc
