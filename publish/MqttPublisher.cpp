#include "MqttPublisher.h"
#include "RecordingFormat.h"
#include "StatusJson.h"

namespace adc {

namespace {

MqttConnection::Settings connectionSettings(const PublishSettings &settings,
                                            std::optional<std::string> password)
{
    return {settings.target, std::move(password), settings.caFile, settings.target.statusTopic(),
            StatusJson::offline(settings.device)};
}

} // namespace

MqttPublisher::MqttPublisher(const PublishSettings &settings, std::optional<std::string> password)
    : m_target(settings.target), m_recordsTopic(settings.target.recordsTopic()),
      m_device(settings.device), m_connection(connectionSettings(settings, std::move(password)))
{
    m_connection.setStatus(StatusJson::online(m_device, {}));
}

void MqttPublisher::stop()
{
    handOn();
    m_connection.stop();
}

std::int64_t MqttPublisher::dropped() const
{
    return m_dropped.load(std::memory_order_relaxed) + m_connection.lostRecords();
}

void MqttPublisher::runStarted(const RunStart &start)
{
    handOn();
    m_connection.setStatus(StatusJson::online(m_device, RecordingFormat::modeName(start.mode)));
}

void MqttPublisher::channelsNamed(std::span<const std::string> names)
{
    m_json.setNames(names);
}

void MqttPublisher::charactersTaken(const Stamp &stamp)
{
    m_json.setStamp(stamp);
}

void MqttPublisher::recordAccepted(const AcceptedRecord &record)
{
    // Nothing is formatted for a broker that cannot take it.
    if (!m_connection.ready()) {
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
    if (!m_connection.send(m_recordsTopic, m_json.message(), records)) {
        m_dropped.fetch_add(static_cast<std::int64_t>(records), std::memory_order_relaxed);
    }
    m_json.clear();
}

} // namespace adc
