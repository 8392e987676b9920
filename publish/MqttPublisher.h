#pragma once

#include "MqttConnection.h"
#include "PublishSettings.h"
#include "RecordJson.h"
#include "RecordObserver.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace adc {

/// Publishes every accepted record to an MQTT broker, as JSON on `TOPIC/records` (see
/// RecordJson), and the logger's state on `TOPIC/status` (see StatusJson), over an
/// MqttConnection.
///
/// The broker never holds up the run. The records of one block of characters become one message
/// (at most kBatchRecords), handed to the connection at the end of the block; its own thread
/// sends it. While the broker is not connected, or MqttConnection::kQueuedMessages messages are
/// still waiting to be sent, records are left out of the publication and counted in dropped();
/// the run, its count and its recording are not touched.
///
/// The RecordObserver calls come from the run's thread; the counters and texts may be read from
/// any thread.
class MqttPublisher : public RecordObserver {
public:
    /// Most records per message.
    static constexpr std::size_t kBatchRecords = 256;

    /// Publishes as `settings` say, sending `password` with the user name.
    MqttPublisher(const PublishSettings &settings, std::optional<std::string> password);

    /// See MqttConnection::setNotify().
    void setNotify(std::function<void()> notify) { m_connection.setNotify(std::move(notify)); }
    /// Starts connecting. False, with failure() saying why, when the settings are refused (a CA
    /// file that cannot be read).
    bool start() { return m_connection.start(); }
    /// Hands on what is gathered, says "offline" and disconnects; waits
    /// MqttConnection::kStopWait at most.
    void stop();

    void runStarted(const RunStart &start) override;
    void channelsNamed(std::span<const std::string> names) override;
    void charactersTaken(const Stamp &stamp) override;
    void recordAccepted(const AcceptedRecord &record) override;
    void charactersDone() override;

    /// Records the connection has sent to the broker.
    std::int64_t published() const { return m_connection.sentRecords(); }
    /// Records left out of the publication (broker gone or slow).
    std::int64_t dropped() const;
    bool connected() const { return m_connection.connected(); }
    /// Times the connection was made, the first included.
    int connections() const { return m_connection.connections(); }
    /// Why publishing has stopped for good (refused password or certificate); empty while it
    /// goes on.
    std::string failure() const { return m_connection.failure(); }
    const PublishTarget &target() const { return m_target; }

private:
    /// Hands the gathered records to the connection, or drops them.
    void handOn();

    const PublishTarget m_target;
    const std::string m_recordsTopic;
    const std::string m_device;
    MqttConnection m_connection;
    RecordJson m_json;
    std::atomic<std::int64_t> m_dropped{0};
};

} // namespace adc
