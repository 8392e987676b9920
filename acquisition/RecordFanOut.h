#pragma once

#include "RecordObserver.h"

#include <vector>

namespace adc {

/// Passes what the run tells one observer on to any number of them, in the order they were
/// added. An observer may be removed while it is being told (it is then not told again).
class RecordFanOut : public RecordObserver {
public:
    /// Adds `observer` (not owned) unless it is there already; whether it was added.
    bool add(RecordObserver *observer);
    /// Removes `observer`, if it is there.
    void remove(RecordObserver *observer);

    void runStarted(const RunStart &start) override;
    void channelsNamed(std::span<const std::string> names) override;
    void charactersTaken(const Stamp &stamp) override;
    void recordAccepted(const AcceptedRecord &record) override;
    void charactersDone() override;

private:
    template <typename Call> void tell(Call call);

    std::vector<RecordObserver *> m_observers;
    int m_telling = 0;
};

} // namespace adc
