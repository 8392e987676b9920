#include "Publishing.h"

#include <QFile>

namespace adc {

Publishing::Publishing(MqttPublisher::Settings settings) : m_publisher(std::move(settings))
{
    // Called on the network thread: the news is taken on this object's.
    m_publisher.setNotify(
        [this] { QMetaObject::invokeMethod(this, &Publishing::takeNews, Qt::QueuedConnection); });
}

Publishing::~Publishing()
{
    m_publisher.stop();
}

std::unique_ptr<Publishing> Publishing::create(const PublishSettings &publishing,
                                               const QString &device, QString &error)
{
    MqttPublisher::Settings settings;
    settings.target = *publishing.target;
    settings.caFile = publishing.caFile.toStdString();
    settings.device = device.toStdString();
    const QString passwordFile = publishing.passwordFile;
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("Cannot read the password file %1: %2.")
                        .arg(passwordFile, file.errorString());
            return nullptr;
        }
        // The first line, without its line end.
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) {
            line.chop(1);
        }
        settings.password = line.toStdString();
        settings.hasPassword = true;
    } else if (qEnvironmentVariableIsSet(kPasswordVariable) && !settings.target.user.empty()) {
        settings.password = qgetenv(kPasswordVariable).toStdString();
        settings.hasPassword = true;
    }
    return std::unique_ptr<Publishing>(new Publishing(std::move(settings)));
}

bool Publishing::start(QString &error)
{
    if (m_publisher.start()) {
        return true;
    }
    error = QString::fromStdString(m_publisher.failure());
    return false;
}

void Publishing::stop()
{
    m_publisher.stop();
}

QString Publishing::target() const
{
    return QString::fromStdString(m_publisher.settings().target.text());
}

QString Publishing::stateText() const
{
    QString state;
    if (!m_publisher.failure().empty()) {
        state = QStringLiteral("stopped");
    } else if (m_publisher.connected()) {
        state = QStringLiteral("connected");
    } else {
        state = QStringLiteral("not connected, trying again");
    }
    return QStringLiteral("publishing to %1: %2; %3 records published, %4 dropped")
        .arg(target(), state)
        .arg(m_publisher.published())
        .arg(m_publisher.dropped());
}

QString Publishing::countsText() const
{
    QString text = QStringLiteral("; %1 published, %2 not published")
                       .arg(m_publisher.published())
                       .arg(m_publisher.dropped());
    if (!m_publisher.failure().empty()) {
        text += QStringLiteral(" (publishing stopped)");
    } else if (!m_publisher.connected()) {
        text += QStringLiteral(" (broker not connected)");
    }
    return text;
}

void Publishing::takeNews()
{
    const std::string failure = m_publisher.failure();
    if (!failure.empty() && !m_failureTold) {
        m_failureTold = true;
        emit failed(QString::fromStdString(failure));
    }
}

} // namespace adc
