#pragma once

#include "PublishTarget.h"
#include "RecordJson.h"
#include "RecordObserver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct mosquitto;

namespace adc {

/// Publishes every accepted record to an MQTT broker (libmosquitto), as JSON on `TOPIC/records`
/// (see RecordJson), and the logger's state on `TOPIC/status`: a retained
/// `{"state":"online","port":...,"mode":...}` while connected, and `{"state":"offline",...}` when
/// it stops or, as the broker's last will, when the connection dies.
///
/// The broker never holds up the run. The records of one block of characters become one message
/// (at most kBatchRecords), handed to the client library at the end of the block; the library's
/// own network thread sends it. While the broker is not connected, or kQueuedMessages messages
/// are still waiting to be sent, records are left out of the publication and counted in
/// dropped(); the run, its count and its recording are not touched. A lost broker is connected to
/// again with back-off (1 s doubling up to kLongestRetrySeconds). A refused user name or password
/// and a refused certificate end the publishing with one failure() text; the run goes on.
///
/// The RecordObserver calls come from the run's thread; the counters and texts may be read from
/// any thread.
class MqttPublisher : public RecordObserver {
public:
    /// Most records per message.
    static constexpr std::size_t kBatchRecords = 256;
    /// Most messages handed to the client library and not yet sent.
    static constexpr std::size_t kQueuedMessages = 64;
    static constexpr unsigned kLongestRetrySeconds = 30;
    static constexpr int kKeepAliveSeconds = 30;
    /// Longest stop() waits for the broker to take the goodbye.
    static constexpr std::chrono::milliseconds kStopWait{1000};

    struct Settings {
        PublishTarget target;
        /// Sent with the user name when hasPassword is set.
        std::string password;
        bool hasPassword = false;
        /// The certificate authorities to trust over TLS; empty: the system's.
        std::string caFile;
        /// The device the records come from, for the status.
        std::string device;
    };

    explicit MqttPublisher(Settings settings);
    /// stop()s.
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    /// `notify` is called, on the network thread, whenever connected() or failure() may have
    /// changed; it must return at once. Set before start().
    void setNotify(std::function<void()> notify) { m_notify = std::move(notify); }

    /// Starts the network thread, which connects to the broker. False, with failure() saying why,
    /// when the settings are refused (a CA file that cannot be read).
    bool start();
    /// Says "offline", disconnects and ends the network thread; waits kStopWait at most.
    void stop();

    void runStarted(const RunStart &start) override;
    void charactersTaken(const Stamp &stamp) override;
    void recordAccepted(const AcceptedRecord &record) override;
    void charactersDone() override;

    /// Records the network thread has sent to the broker.
    std::int64_t published() const { return m_published.load(std::memory_order_relaxed); }
    /// Records left out of the publication (broker gone or slow).
    std::int64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }
    bool connected() const { return m_connected.load(std::memory_order_relaxed); }
    /// Times the connection was made, the first included.
    int connections() const { return m_connections.load(std::memory_order_relaxed); }
    /// Why publishing has stopped for good (refused password or certificate); empty while it
    /// goes on.
    std::string failure() const;
    const Settings &settings() const { return m_settings; }

private:
    struct Queued {
        int mid;
        std::size_t records;
    };

    static void onConnect(mosquitto *, void *self, int code);
    static void onDisconnect(mosquitto *, void *self, int code);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    /// Hands the gathered records to the client library, or drops them.
    void handOn();
    void publishStatus(bool online);
    std::string statusPayload(bool online) const;
    /// Counts the records of every waiting message as dropped (the library drops them on a
    /// reconnect). Needs m_mutex.
    void dropQueued();
    void fail(std::string text);
    /// The TLS connection failed for `reason`; publishing stops.
    void tlsFailed(std::string reason);
    void tell();

    Settings m_settings;
    std::string m_recordsTopic;
    std::string m_statusTopic;
    mosquitto *m_client = nullptr;
    std::function<void()> m_notify;
    RecordJson m_json;
    std::thread m_connector;

    mutable std::mutex m_mutex;
    std::condition_variable m_disconnected;
    std::deque<Queued> m_queued;
    std::string m_failure;
    std::string m_tlsError;
    const char *m_mode = nullptr;
    bool m_stopping = false;
    /// Whether the network thread runs (from the first connection attempt that got under way).
    bool m_looping = false;
    bool m_closed = false;

    std::atomic<std::int64_t> m_published{0};
    std::atomic<std::int64_t> m_dropped{0};
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_queueFull{false};
};

} // namespace adc
