#include "RecordFanOut.h"

#include <algorithm>

namespace adc {

bool RecordFanOut::add(RecordObserver *observer)
{
    if (observer == nullptr || std::ranges::find(m_observers, observer) != m_observers.end()) {
        return false;
    }
    m_observers.push_back(observer);
    return true;
}

void RecordFanOut::remove(RecordObserver *observer)
{
    // While observers are being told, the slot is only emptied, so that none is skipped.
    const auto found = std::ranges::find(m_observers, observer);
    if (found == m_observers.end()) {
        return;
    }
    if (m_telling > 0) {
        *found = nullptr;
    } else {
        m_observers.erase(found);
    }
}

template <typename Call> void RecordFanOut::tell(Call call)
{
    ++m_telling;
    for (std::size_t i = 0; i < m_observers.size(); ++i) {
        if (m_observers[i] != nullptr) {
            call(*m_observers[i]);
        }
    }
    if (--m_telling == 0) {
        std::erase(m_observers, nullptr);
    }
}

void RecordFanOut::runStarted(const RunStart &start)
{
    tell([&start](RecordObserver &o) { o.runStarted(start); });
}

void RecordFanOut::channelsNamed(std::span<const std::string> names)
{
    tell([names](RecordObserver &o) { o.channelsNamed(names); });
}

void RecordFanOut::charactersTaken(const Stamp &stamp)
{
    tell([&stamp](RecordObserver &o) { o.charactersTaken(stamp); });
}

void RecordFanOut::recordAccepted(const AcceptedRecord &record)
{
    tell([&record](RecordObserver &o) { o.recordAccepted(record); });
}

void RecordFanOut::charactersDone()
{
    tell([](RecordObserver &o) { o.charactersDone(); });
}

} // namespace adc
