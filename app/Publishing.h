#pragma once

#include "MqttPublisher.h"
#include "PublishSettings.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace adc {

/// `--publish`: the publisher of the user's settings, its inputs checked, and its news brought
/// from the network thread to this one: failed() once when publishing has stopped for good, and
/// texts for the tooltip, the status line and the summary.
class Publishing : public QObject {
    Q_OBJECT

public:
    /// The publisher for `settings`, its password read (BrokerPassword) and its CA file checked
    /// (CertificateFile); none, with `error` saying why in one line, when an input is refused.
    /// Nothing is connected to and no file is made: start() does that.
    static std::unique_ptr<Publishing> create(const PublishSettings &settings, QString &error);
    /// Stops the publisher.
    ~Publishing() override;

    /// Starts connecting; false, with `error` saying why, when the settings are refused.
    bool start(QString &error);
    /// Says "offline" to the broker and disconnects (waits a second at most).
    void stop();

    MqttPublisher &publisher() { return m_publisher; }
    const MqttPublisher &publisher() const { return m_publisher; }
    /// The URL published to, without the user name.
    QString target() const;
    /// One line for the tooltip: where, whether connected, records published and dropped.
    QString stateText() const;
    /// For the headless status line: "; N published, M not published".
    QString countsText() const;
    /// For the headless summary: "; N records published to URL, M not published".
    QString summaryText() const;

signals:
    /// Publishing has stopped for good (a refused password or certificate); the run goes on.
    void failed(const QString &message);

private:
    Publishing(const PublishSettings &settings, std::optional<std::string> password);
    void takeNews();

    MqttPublisher m_publisher;
    bool m_failureTold = false;
};

} // namespace adc
