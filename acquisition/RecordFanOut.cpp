#include "RecordFanOut.h"

#include <algorithm>

namespace adc {

void RecordFanOut::add(RecordObserver *observer)
{
    if (observer != nullptr && std::ranges::find(m_observers, observer) == m_observers.end()) {
        m_observers.push_back(observer);
    }
}

void RecordFanOut::remove(RecordObserver *observer)
{
    std::erase(m_observers, observer);
}

void RecordFanOut::runStarted(Mode mode)
{
    for (RecordObserver *observer : m_observers) {
        observer->runStarted(mode);
    }
}

void RecordFanOut::charactersTaken()
{
    for (RecordObserver *observer : m_observers) {
        observer->charactersTaken();
    }
}

void RecordFanOut::recordAccepted(const AcceptedRecord &record)
{
    for (RecordObserver *observer : m_observers) {
        observer->recordAccepted(record);
    }
}

void RecordFanOut::charactersDone()
{
    for (RecordObserver *observer : m_observers) {
        observer->charactersDone();
    }
}

} // namespace adc
