#include "RecordFanOut.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace adc {
namespace {

/// Logs what it is told as "name:event"; may remove itself, or another, from the fan-out.
class LoggingObserver : public RecordObserver {
public:
    LoggingObserver(std::string name, std::vector<std::string> &log)
        : m_name(std::move(name)), m_log(log)
    {
    }

    RecordFanOut *removeFrom = nullptr;
    RecordObserver *toRemove = nullptr;

    void runStarted(const RunStart &) override { m_log.push_back(m_name + ":start"); }
    void recordAccepted(const AcceptedRecord &record) override
    {
        m_log.push_back(m_name + ":" + std::to_string(record.count));
        if (removeFrom != nullptr) {
            removeFrom->remove(toRemove);
        }
    }

private:
    std::string m_name;
    std::vector<std::string> &m_log;
};

TEST(RecordFanOut, TellsEachObserverOnceInOrderAlsoWhenOneIsRemovedWhileTold)
{
    std::vector<std::string> log;
    LoggingObserver a("a", log), b("b", log), c("c", log);
    RecordFanOut fanOut;
    fanOut.add(&a);
    fanOut.add(&b);
    fanOut.add(&b);
    fanOut.add(&c);
    b.removeFrom = &fanOut;
    b.toRemove = &b;

    fanOut.runStarted({Mode::Int, 1, {}});
    fanOut.recordAccepted({Mode::Int, 1, {}});
    fanOut.recordAccepted({Mode::Int, 2, {}});
    EXPECT_EQ(log, (std::vector<std::string>{"a:start", "b:start", "c:start", "a:1", "b:1", "c:1",
                                             "a:2", "c:2"}));

    // An observer removed by another before its turn is not told.
    log.clear();
    a.removeFrom = &fanOut;
    a.toRemove = &c;
    fanOut.recordAccepted({Mode::Int, 3, {}});
    EXPECT_EQ(log, (std::vector<std::string>{"a:3"}));
}

} // namespace
} // namespace adc
