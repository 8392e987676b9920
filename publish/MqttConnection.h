#pragma once

#include "PublishTarget.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace adc {

/// An MQTT client's connection to a broker (libmosquitto), on a thread of its own: the name
/// lookup, the connection, the TLS handshake and the sending all happen there. A connection that
/// cannot be made or is lost is tried again after 1 second, then 2, 4 and so on up to
/// kLongestRetrySeconds.
///
/// The connection carries a retained status: sent on each connection and whenever setStatus()
/// replaces it, and the offline status at stop() or, as the broker's last will, when the
/// connection dies.
///
/// Nothing here waits for the network: messages are handed to the thread, and stop() waits
/// kStopWait at most for the broker to take the goodbye. A thread stuck in a name lookup is
/// left to end on its own, with the client it alone still holds.
///
/// A refused user name or password, or a TLS connection that fails (told only in the client
/// library's log lines), end the connection for good with one failure() text.
class MqttConnection {
public:
    /// Most messages handed to the client library and not yet sent.
    static constexpr std::size_t kQueuedMessages = 64;
    static constexpr unsigned kLongestRetrySeconds = 30;
    static constexpr int kKeepAliveSeconds = 30;
    /// Longest stop() waits for the broker to take the goodbye.
    static constexpr std::chrono::milliseconds kStopWait{1000};

    struct Settings {
        PublishTarget target;
        /// Sent with the user name.
        std::optional<std::string> password;
        /// The certificate authorities to trust over TLS; empty: the system's.
        std::string caFile;
        /// The status's topic, and the status once the connection is gone.
        std::string statusTopic;
        std::string offlineStatus;
    };

    explicit MqttConnection(Settings settings);
    /// stop()s.
    ~MqttConnection();
    MqttConnection(const MqttConnection &) = delete;
    MqttConnection &operator=(const MqttConnection &) = delete;

    /// `notify` is called, on the connection's thread, whenever connected() or failure() may
    /// have changed; it must return at once. Set before start(); never called after stop().
    void setNotify(std::function<void()> notify);
    /// Starts the thread, which connects. False, with failure() saying why, when the client
    /// cannot be made or the CA file cannot be read.
    bool start();
    /// Says goodbye with the offline status, disconnects and ends the thread.
    void stop();

    /// Replaces the status, sent at once when connected.
    void setStatus(std::string status);
    /// Hands `message` on to `topic` (quality of service 0) for the thread to send; `records`
    /// are counted as sent once it has gone, or as lost with the connection. False when not
    /// connected or when kQueuedMessages still wait.
    bool send(const std::string &topic, std::string_view message, std::size_t records);

    /// Whether send() would take a message now.
    bool ready() const;
    bool connected() const;
    /// Times the connection was made, the first included.
    int connections() const;
    /// Records of the messages sent, and of those the connection lost before they went.
    std::int64_t sentRecords() const;
    std::int64_t lostRecords() const;
    /// Why the connection has ended for good; empty while it goes on.
    std::string failure() const;

private:
    struct Shared;

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

} // namespace adc
