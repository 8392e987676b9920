#pragma once

#include "MqttPublisher.h"
#include "PublishTarget.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace adc {

/// `--publish` and its companions, as the command line gives them.
struct PublishSettings {
    /// The broker and topic; none: nothing is published.
    std::optional<PublishTarget> target;
    /// The certificate authorities to trust for mqtts:// (--publish-ca); empty: the system's.
    QString caFile;
    /// The file whose first line is the broker's password (--publish-password-file); empty:
    /// the environment variable kPasswordVariable, if set.
    QString passwordFile;
};

/// `--publish`: the publisher of the command line, its password read, and its news brought from
/// the network thread to this one: failed() once when publishing has stopped for good, and
/// texts for the tooltip, the status line and the summary.
class Publishing : public QObject {
    Q_OBJECT

public:
    /// Where the password comes from when no --publish-password-file is given.
    static constexpr const char *kPasswordVariable = "ADC_PUBLISH_PASSWORD";

    /// The publisher for `settings`, its records coming from `device`; none when the password
    /// file cannot be read, with `error` saying why.
    static std::unique_ptr<Publishing> create(const PublishSettings &settings,
                                              const QString &device, QString &error);
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
    /// For the headless status line: "; N published, M not".
    QString countsText() const;

signals:
    /// Publishing has stopped for good (a refused password or certificate); the run goes on.
    void failed(const QString &message);

private:
    explicit Publishing(MqttPublisher::Settings settings);
    void takeNews();

    MqttPublisher m_publisher;
    bool m_failureTold = false;
};

} // namespace adc
