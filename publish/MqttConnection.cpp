#include "MqttConnection.h"
#include "MqttText.h"

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace adc {

namespace {

using Clock = std::chrono::steady_clock;

/// How long one turn of the client's loop waits for the network.
constexpr int kLoopMs = 1000;
/// How long stop() waits for a thread that has no goodbye to say.
constexpr std::chrono::milliseconds kStopGrace{200};

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

/// What the thread, the client library's callbacks and the connection share. The thread holds
/// it too, so that a thread left behind by stop() finds it whole.
struct MqttConnection::Shared {
    struct Queued {
        int mid;
        std::size_t records;
    };

    explicit Shared(Settings settings) : settings(std::move(settings)) {}
    ~Shared()
    {
        if (client != nullptr) {
            mosquitto_destroy(client);
        }
    }
    Shared(const Shared &) = delete;
    Shared &operator=(const Shared &) = delete;

    bool configure();
    static void run(std::shared_ptr<Shared> shared);
    /// Whether the thread is done: stopped and disconnected (or out of time), or failed.
    bool done();
    /// Waits the time before the next attempt; false when stopped meanwhile.
    bool waitToRetry();
    void publishStatus(const std::string &status);
    /// Counts the records of every waiting message as lost. Needs `mutex`.
    void dropQueued();
    void fail(std::string text);
    /// The TLS connection failed for `reason`: for good.
    void tlsFailed(const std::string &reason);
    void tell();

    static void onConnect(mosquitto *client, void *self, int code);
    static void onDisconnect(mosquitto *, void *self, int code);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    const Settings settings;
    mosquitto *client = nullptr;

    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> notify;
    std::deque<Queued> queued;
    std::string status;
    std::string failure;
    unsigned retryDelay = 1;
    bool stopping = false;
    bool ended = false;
    Clock::time_point stopBy{};

    std::atomic<std::int64_t> sent{0};
    std::atomic<std::int64_t> lost{0};
    std::atomic<int> connections{0};
    std::atomic<bool> connected{false};
    std::atomic<bool> full{false};
};

bool MqttConnection::Shared::configure()
{
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // A message goes out at once, not held back until the last one is acknowledged (which the
    // broker may delay by 40 ms).
    mosquitto_int_option(client, MOSQ_OPT_TCP_NODELAY, 1);
    // Messages are handed on from the run's thread and sent by this connection's.
    mosquitto_threaded_set(client, true);
    mosquitto_connect_callback_set(client, &Shared::onConnect);
    mosquitto_disconnect_callback_set(client, &Shared::onDisconnect);
    mosquitto_publish_callback_set(client, &Shared::onPublish);
    mosquitto_log_callback_set(client, &Shared::onLog);
    const PublishTarget &target = settings.target;
    if (!target.user.empty()) {
        mosquitto_username_pw_set(client, target.user.c_str(),
                                  settings.password ? settings.password->c_str() : nullptr);
    }
    const std::string &offline = settings.offlineStatus;
    mosquitto_will_set(client, settings.statusTopic.c_str(), static_cast<int>(offline.size()),
                       offline.data(), 1, true);
    if (!target.tls) {
        return true;
    }
    if (settings.caFile.empty()) {
        mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        return true;
    }
    if (mosquitto_tls_set(client, settings.caFile.c_str(), nullptr, nullptr, nullptr, nullptr) !=
        MOSQ_ERR_SUCCESS) {
        fail("Cannot read the certificate authorities in " + MqttText::shown(settings.caFile) +
             ".");
        return false;
    }
    return true;
}

void MqttConnection::Shared::run(std::shared_ptr<Shared> shared)
{
    Shared &s = *shared;
    const PublishTarget &target = s.settings.target;
    int code =
        mosquitto_connect_async(s.client, target.host.c_str(), target.port, kKeepAliveSeconds);
    while (!s.done()) {
        if (code == MOSQ_ERR_SUCCESS) {
            code = mosquitto_loop(s.client, kLoopMs, 1);
        } else if (code == MOSQ_ERR_TLS || code == MOSQ_ERR_TLS_HANDSHAKE) {
            // Why a handshake failed is told in the log lines (onLog), before this.
            s.tlsFailed(mosquitto_strerror(code));
        } else if (s.waitToRetry()) {
            code = mosquitto_reconnect_async(s.client);
        }
    }
    {
        const std::lock_guard lock(s.mutex);
        s.ended = true;
    }
    s.changed.notify_all();
}

bool MqttConnection::Shared::done()
{
    const std::lock_guard lock(mutex);
    return !failure.empty() || (stopping && (!connected || Clock::now() >= stopBy));
}

bool MqttConnection::Shared::waitToRetry()
{
    std::unique_lock lock(mutex);
    const auto delay = std::chrono::seconds(retryDelay);
    retryDelay = std::min(2 * retryDelay, kLongestRetrySeconds);
    return !changed.wait_for(lock, delay, [this] { return stopping; });
}

void MqttConnection::Shared::publishStatus(const std::string &text)
{
    mosquitto_publish(client, nullptr, settings.statusTopic.c_str(), static_cast<int>(text.size()),
                      text.data(), 1, true);
}

void MqttConnection::Shared::dropQueued()
{
    std::int64_t records = 0;
    for (const Queued &message : queued) {
        records += static_cast<std::int64_t>(message.records);
    }
    queued.clear();
    full = false;
    lost.fetch_add(records, std::memory_order_relaxed);
}

void MqttConnection::Shared::fail(std::string text)
{
    {
        const std::lock_guard lock(mutex);
        if (!failure.empty()) {
            return;
        }
        failure = std::move(text);
    }
    changed.notify_all();
    tell();
}

void MqttConnection::Shared::tlsFailed(const std::string &reason)
{
    const std::string hint =
        settings.caFile.empty()
            ? "A broker whose certificate the system does not trust needs --publish-ca FILE."
            : "Does an authority in " + MqttText::shown(settings.caFile) +
                  " sign the broker's certificate?";
    fail("The TLS connection to the MQTT broker at " + settings.target.text() + " failed (" +
         reason + "). Records are not published; the run goes on. " + hint);
}

void MqttConnection::Shared::tell()
{
    // Under the lock, so that stop() can take the notification away for good.
    const std::lock_guard lock(mutex);
    if (notify) {
        notify();
    }
}

void MqttConnection::Shared::onConnect(mosquitto *client, void *self, int code)
{
    Shared &s = *static_cast<Shared *>(self);
    if (code == 0) {
        std::string status;
        {
            const std::lock_guard lock(s.mutex);
            // Whatever waited when the connection was lost was thrown away by the library.
            s.dropQueued();
            s.retryDelay = 1;
            status = s.status;
        }
        s.connections.fetch_add(1, std::memory_order_relaxed);
        s.connected = true;
        s.publishStatus(status);
        s.tell();
        return;
    }
    // 4: bad user name or password, 5: not authorised. Trying again would not help.
    if (code == 4 || code == 5) {
        mosquitto_disconnect(client);
        // "Connection Refused: not authorised." -> "not authorised"
        std::string_view reason = mosquitto_connack_string(code);
        reason = reason.substr(reason.find(':') == reason.npos ? 0 : reason.find(':') + 2);
        if (reason.ends_with('.')) {
            reason.remove_suffix(1);
        }
        s.fail("The MQTT broker at " + s.settings.target.text() +
               " refused the user name or password (" + std::string(reason) +
               "). Records are not published; the run goes on.");
    }
}

void MqttConnection::Shared::onDisconnect(mosquitto *, void *self, int code)
{
    Shared &s = *static_cast<Shared *>(self);
    s.connected = false;
    {
        const std::lock_guard lock(s.mutex);
        s.dropQueued();
    }
    s.changed.notify_all();
    if (code == MOSQ_ERR_TLS || code == MOSQ_ERR_TLS_HANDSHAKE) {
        s.tlsFailed(mosquitto_strerror(code));
        return;
    }
    s.tell();
}

void MqttConnection::Shared::onPublish(mosquitto *, void *self, int mid)
{
    Shared &s = *static_cast<Shared *>(self);
    const std::lock_guard lock(s.mutex);
    const auto sentMessage = std::ranges::find(s.queued, mid, &Queued::mid);
    if (sentMessage == s.queued.end()) {
        return; // a status message
    }
    // Messages leave in the order they were handed on.
    std::int64_t records = 0;
    for (auto it = s.queued.begin(); it != sentMessage + 1; ++it) {
        records += static_cast<std::int64_t>(it->records);
    }
    s.queued.erase(s.queued.begin(), sentMessage + 1);
    s.full = false;
    s.sent.fetch_add(records, std::memory_order_relaxed);
}

void MqttConnection::Shared::onLog(mosquitto *, void *self, int level, const char *text)
{
    // A failed TLS handshake is told only here ("OpenSSL Error[0]: error:...: certificate verify
    // failed").
    const std::string_view line = text;
    if ((level & MOSQ_LOG_ERR) == 0 || !line.starts_with("OpenSSL Error")) {
        return;
    }
    const std::size_t colon = line.rfind(':');
    static_cast<Shared *>(self)->tlsFailed(
        std::string(colon == line.npos ? line : line.substr(colon + 1)));
}

MqttConnection::MqttConnection(Settings settings)
    : m_shared(std::make_shared<Shared>(std::move(settings)))
{
}

MqttConnection::~MqttConnection()
{
    stop();
}

void MqttConnection::setNotify(std::function<void()> notify)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->notify = std::move(notify);
}

bool MqttConnection::start()
{
    initialiseLibrary();
    Shared &s = *m_shared;
    s.client = mosquitto_new(nullptr, true, &s);
    if (s.client == nullptr) {
        s.fail("The MQTT client could not be made: out of memory.");
        return false;
    }
    if (!s.configure()) {
        return false;
    }
    m_thread = std::thread(&Shared::run, m_shared);
    return true;
}

void MqttConnection::stop()
{
    if (!m_thread.joinable()) {
        return;
    }
    Shared &s = *m_shared;
    bool goodbye = false;
    {
        const std::lock_guard lock(s.mutex);
        s.stopping = true;
        s.notify = nullptr;
        s.stopBy = Clock::now() + kStopWait;
        goodbye = s.connected && s.failure.empty();
        if (goodbye) {
            s.publishStatus(s.settings.offlineStatus);
        }
    }
    s.changed.notify_all();
    // Also wakes the thread when it waits for the network.
    mosquitto_disconnect(s.client);
    std::unique_lock lock(s.mutex);
    const bool ended = s.changed.wait_for(lock, goodbye ? kStopWait + kStopGrace : kStopGrace,
                                          [&s] { return s.ended; });
    lock.unlock();
    if (ended) {
        m_thread.join();
    } else {
        m_thread.detach();
    }
    s.connected = false;
}

void MqttConnection::setStatus(std::string status)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->status = std::move(status);
    if (m_shared->connected && !m_shared->stopping) {
        m_shared->publishStatus(m_shared->status);
    }
}

bool MqttConnection::send(const std::string &topic, std::string_view message, std::size_t records)
{
    Shared &s = *m_shared;
    if (!s.connected) {
        return false;
    }
    const std::lock_guard lock(s.mutex);
    int mid = 0;
    if (s.stopping || s.queued.size() >= kQueuedMessages ||
        mosquitto_publish(s.client, &mid, topic.c_str(), static_cast<int>(message.size()),
                          message.data(), 0, false) != MOSQ_ERR_SUCCESS) {
        return false;
    }
    s.queued.push_back({mid, records});
    s.full = s.queued.size() >= kQueuedMessages;
    return true;
}

bool MqttConnection::ready() const
{
    return m_shared->connected && !m_shared->full;
}

bool MqttConnection::connected() const
{
    return m_shared->connected;
}

int MqttConnection::connections() const
{
    return m_shared->connections.load(std::memory_order_relaxed);
}

std::int64_t MqttConnection::sentRecords() const
{
    return m_shared->sent.load(std::memory_order_relaxed);
}

std::int64_t MqttConnection::lostRecords() const
{
    return m_shared->lost.load(std::memory_order_relaxed);
}

std::string MqttConnection::failure() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->failure;
}

} // namespace adc
