#include "RecordObservers.h"

#include <algorithm>

namespace adc {

void RecordObservers::add(RecordObserver *observer)
{
    if (observer != nullptr && std::ranges::find(m_observers, observer) == m_observers.end()) {
        m_observers.push_back(observer);
    }
}

void RecordObservers::remove(RecordObserver *observer)
{
    std::erase(m_observers, observer);
}

void RecordObservers::runStarted(Mode mode)
{
    for (RecordObserver *observer : m_observers) {
        observer->runStarted(mode);
    }
}

void RecordObservers::charactersTaken()
{
    for (RecordObserver *observer : m_observers) {
        observer->charactersTaken();
    }
}

void RecordObservers::recordAccepted(const AcceptedRecord &record)
{
    for (RecordObserver *observer : m_observers) {
        observer->recordAccepted(record);
    }
}

void RecordObservers::charactersDone()
{
    for (RecordObserver *observer : m_observers) {
        observer->charactersDone();
    }
}

} // namespace adc
