#include "Publishing.h"
#include "BrokerPassword.h"
#include "CertificateFile.h"

namespace adc {

Publishing::Publishing(const PublishSettings &settings, std::optional<std::string> password)
    : m_publisher(settings, std::move(password))
{
    // Called on the network thread: the news is taken on this object's.
    m_publisher.setNotify(
        [this] { QMetaObject::invokeMethod(this, &Publishing::takeNews, Qt::QueuedConnection); });
}

Publishing::~Publishing()
{
    m_publisher.stop();
}

std::unique_ptr<Publishing> Publishing::create(const PublishSettings &settings, QString &error)
{
    std::string why;
    std::optional<std::string> password = BrokerPassword::find(settings, why);
    if (why.empty() && !settings.caFile.empty()) {
        why = CertificateFile::problem(settings.caFile);
    }
    if (!why.empty()) {
        error = QString::fromStdString(why);
        return nullptr;
    }
    return std::unique_ptr<Publishing>(new Publishing(settings, std::move(password)));
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
    return QString::fromStdString(m_publisher.target().text());
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
    // The URL is the user's text: put beside the figures, never through arg().
    return QStringLiteral("publishing to ") + target() + QStringLiteral(": ") + state +
           QStringLiteral("; %1 records published, %2 dropped")
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

QString Publishing::summaryText() const
{
    return QStringLiteral("; %1 records published to ").arg(m_publisher.published()) + target() +
           QStringLiteral(", %1 not published").arg(m_publisher.dropped());
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
