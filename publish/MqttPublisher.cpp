#include "MqttPublisher.h"
#include "RecordingFormat.h"

#include <mosquitto.h>

#include <algorithm>
#include <cstdio>

namespace adc {

namespace {

/// `text` as a JSON string, quotes included.
std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttPublisher::MqttPublisher(Settings settings)
    : m_settings(std::move(settings)), m_recordsTopic(m_settings.target.topic + "/records"),
      m_statusTopic(m_settings.target.topic + "/status")
{
}

MqttPublisher::~MqttPublisher()
{
    stop();
}

std::string MqttPublisher::failure() const
{
    const std::lock_guard lock(m_mutex);
    return m_failure;
}

std::string MqttPublisher::statusPayload(bool online) const
{
    std::string text = std::string("{\"state\":\"") + (online ? "online" : "offline") +
                       "\",\"port\":" + jsonString(m_settings.device);
    if (online) {
        text += std::string(",\"mode\":") + (m_mode ? jsonString(m_mode) : std::string("null"));
    }
    return text + "}";
}

bool MqttPublisher::start()
{
    initialiseLibrary();
    const PublishTarget &target = m_settings.target;
    m_client = mosquitto_new(nullptr, true, this);
    if (m_client == nullptr) {
        fail("The MQTT client could not be made: out of memory.");
        return false;
    }
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // A message goes out at once, not held back until the last one is acknowledged (which the
    // broker may delay by 40 ms).
    mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttPublisher::onPublish);
    mosquitto_log_callback_set(m_client, &MqttPublisher::onLog);
    if (!target.user.empty()) {
        mosquitto_username_pw_set(m_client, target.user.c_str(),
                                  m_settings.hasPassword ? m_settings.password.c_str() : nullptr);
    }
    const std::string offline = statusPayload(false);
    mosquitto_will_set(m_client, m_statusTopic.c_str(), static_cast<int>(offline.size()),
                       offline.data(), 1, true);
    if (target.tls) {
        if (m_settings.caFile.empty()) {
            mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else if (mosquitto_tls_set(m_client, m_settings.caFile.c_str(), nullptr, nullptr, nullptr,
                                     nullptr) != MOSQ_ERR_SUCCESS) {
            fail("Cannot read the certificate authorities in " + m_settings.caFile + ".");
            mosquitto_destroy(m_client);
            m_client = nullptr;
            return false;
        }
    }
    mosquitto_reconnect_delay_set(m_client, 1, kLongestRetrySeconds, true);
    // Looking the host up may take a while: not on the run's thread. The client library's
    // network thread tries again after a connection is lost, but not after a first attempt
    // that failed at once (a broker not yet started): those are tried again here.
    m_connector = std::thread([this, host = target.host, port = target.port] {
        int code = mosquitto_connect_async(m_client, host.c_str(), port, kKeepAliveSeconds);
        for (unsigned delay = 1; code != MOSQ_ERR_SUCCESS;
             delay = std::min(2 * delay, kLongestRetrySeconds)) {
            if (code == MOSQ_ERR_TLS) {
                onDisconnect(m_client, this, code);
                return;
            }
            std::unique_lock lock(m_mutex);
            if (m_disconnected.wait_for(lock, std::chrono::seconds(delay),
                                        [this] { return m_stopping; })) {
                return;
            }
            lock.unlock();
            code = mosquitto_reconnect_async(m_client);
        }
        const std::lock_guard lock(m_mutex);
        if (!m_stopping) {
            mosquitto_loop_start(m_client);
            m_looping = true;
        }
    });
    return true;
}

void MqttPublisher::stop()
{
    if (m_client == nullptr) {
        return;
    }
    handOn();
    bool looping = false;
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        looping = m_looping;
    }
    m_disconnected.notify_all();
    m_connector.join();
    looping = looping || m_looping;
    bool clean = true;
    if (looping) {
        if (connected()) {
            publishStatus(false);
        }
        if (mosquitto_disconnect(m_client) == MOSQ_ERR_SUCCESS) {
            std::unique_lock lock(m_mutex);
            clean = m_disconnected.wait_for(lock, kStopWait, [this] { return m_closed; });
        }
        // A network thread stuck on a broker that takes nothing is cancelled; the client it
        // may have left locked is then not touched again.
        mosquitto_loop_stop(m_client, !clean);
    }
    if (clean) {
        mosquitto_destroy(m_client);
    }
    m_client = nullptr;
    m_connected = false;
}

void MqttPublisher::runStarted(const RunStart &start)
{
    handOn();
    {
        const std::lock_guard lock(m_mutex);
        m_mode = RecordingFormat::modeName(start.mode).data();
    }
    if (connected()) {
        publishStatus(true);
    }
}

void MqttPublisher::charactersTaken(const Stamp &stamp)
{
    m_json.setStamp(stamp);
}

void MqttPublisher::recordAccepted(const AcceptedRecord &record)
{
    // Nothing is formatted for a broker that cannot take it.
    if (!connected() || m_queueFull.load(std::memory_order_relaxed)) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    m_json.add(record);
    if (m_json.records() >= kBatchRecords) {
        handOn();
    }
}

void MqttPublisher::charactersDone()
{
    handOn();
}

void MqttPublisher::handOn()
{
    const std::size_t records = m_json.records();
    if (records == 0) {
        return;
    }
    bool handed = false;
    if (m_client != nullptr && connected()) {
        const std::string_view message = m_json.message();
        const std::lock_guard lock(m_mutex);
        int mid = 0;
        if (m_queued.size() < kQueuedMessages &&
            mosquitto_publish(m_client, &mid, m_recordsTopic.c_str(),
                              static_cast<int>(message.size()), message.data(), 0,
                              false) == MOSQ_ERR_SUCCESS) {
            m_queued.push_back({mid, records});
            m_queueFull = m_queued.size() >= kQueuedMessages;
            handed = true;
        }
    }
    if (!handed) {
        m_dropped.fetch_add(static_cast<std::int64_t>(records), std::memory_order_relaxed);
    }
    m_json.clear();
}

void MqttPublisher::publishStatus(bool online)
{
    std::string payload;
    {
        const std::lock_guard lock(m_mutex);
        payload = statusPayload(online);
    }
    mosquitto_publish(m_client, nullptr, m_statusTopic.c_str(), static_cast<int>(payload.size()),
                      payload.data(), 1, true);
}

void MqttPublisher::dropQueued()
{
    std::int64_t records = 0;
    for (const Queued &queued : m_queued) {
        records += static_cast<std::int64_t>(queued.records);
    }
    m_queued.clear();
    m_queueFull = false;
    m_dropped.fetch_add(records, std::memory_order_relaxed);
}

void MqttPublisher::fail(std::string text)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_failure.empty()) {
            return;
        }
        m_failure = std::move(text);
    }
    tell();
}

void MqttPublisher::tell()
{
    if (m_notify) {
        m_notify();
    }
}

void MqttPublisher::onConnect(mosquitto *client, void *self, int code)
{
    auto &publisher = *static_cast<MqttPublisher *>(self);
    if (code == 0) {
        {
            const std::lock_guard lock(publisher.m_mutex);
            // Whatever waited when the connection was lost was thrown away by the library.
            publisher.dropQueued();
            publisher.m_closed = false;
        }
        publisher.m_connections.fetch_add(1, std::memory_order_relaxed);
        publisher.m_connected = true;
        publisher.publishStatus(true);
        publisher.tell();
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
        publisher.fail("The MQTT broker at " + publisher.m_settings.target.text() +
                       " refused the user name or password (" + std::string(reason) +
                       "). Records are not published; the run goes on.");
    }
}

void MqttPublisher::onDisconnect(mosquitto *, void *self, int code)
{
    auto &publisher = *static_cast<MqttPublisher *>(self);
    publisher.m_connected = false;
    {
        const std::lock_guard lock(publisher.m_mutex);
        publisher.dropQueued();
        publisher.m_closed = true;
    }
    publisher.m_disconnected.notify_all();
    if (code == MOSQ_ERR_TLS || code == MOSQ_ERR_TLS_HANDSHAKE) {
        publisher.tlsFailed(mosquitto_strerror(code));
        return;
    }
    publisher.tell();
}

void MqttPublisher::tlsFailed(std::string reason)
{
    // The client library gives up on a TLS failure: its network thread has ended.
    m_connected = false;
    {
        const std::lock_guard lock(m_mutex);
        dropQueued();
        m_closed = true;
        if (!m_tlsError.empty()) {
            reason = m_tlsError;
        }
    }
    m_disconnected.notify_all();
    fail("The TLS connection to the MQTT broker at " + m_settings.target.text() + " failed (" +
         reason +
         "). Records are not published; the run goes on. A broker whose certificate the system "
         "does not trust needs --publish-ca FILE.");
}

void MqttPublisher::onPublish(mosquitto *, void *self, int mid)
{
    auto &publisher = *static_cast<MqttPublisher *>(self);
    const std::lock_guard lock(publisher.m_mutex);
    auto &queued = publisher.m_queued;
    const auto sent = std::ranges::find(queued, mid, &Queued::mid);
    if (sent == queued.end()) {
        return; // a status message
    }
    // Messages leave in the order they were handed on.
    std::int64_t records = 0;
    for (auto it = queued.begin(); it != sent + 1; ++it) {
        records += static_cast<std::int64_t>(it->records);
    }
    queued.erase(queued.begin(), sent + 1);
    publisher.m_queueFull = false;
    publisher.m_published.fetch_add(records, std::memory_order_relaxed);
}

void MqttPublisher::onLog(mosquitto *, void *self, int level, const char *text)
{
    // A TLS failure in the network thread is told only here ("OpenSSL Error[0]: error:...:
    // certificate verify failed"), and that thread then ends.
    const std::string_view line = text;
    if ((level & MOSQ_LOG_ERR) == 0 || !line.starts_with("OpenSSL Error")) {
        return;
    }
    auto &publisher = *static_cast<MqttPublisher *>(self);
    const std::size_t colon = line.rfind(':');
    const std::string reason(colon == line.npos ? line : line.substr(colon + 1));
    {
        const std::lock_guard lock(publisher.m_mutex);
        if (publisher.m_tlsError.empty()) {
            publisher.m_tlsError = reason;
        }
    }
    publisher.tlsFailed(reason);
}

} // namespace adc
