#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A real broker for the publishing tests: mosquitto started on a free loopback port with a
// configuration of its own, and read by mosquitto_sub. ADC_MOSQUITTO names the broker's program.

namespace adc::test {

/// A TCP port on the loopback interface that nothing listens on just now.
inline int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr *>(&address), size);
    ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(s);
    return ntohs(address.sin_port);
}

/// mosquitto on 127.0.0.1 with `listeners` (each "listener PORT 127.0.0.1" and its settings);
/// stopped with the object.
struct Broker {
    QTemporaryDir dir;
    int port = freePort();
    QProcess process;

    explicit Broker(const QString &listeners = QString())
    {
        QFile config(dir.filePath(QStringLiteral("mosquitto.conf")));
        EXPECT_TRUE(config.open(QIODevice::WriteOnly));
        // As root mosquitto would become the user "mosquitto", who may not read this folder.
        config.write(QStringLiteral("persistence false\nper_listener_settings true\n%1"
                                    "listener %2 127.0.0.1\nallow_anonymous true\n%3")
                         .arg(::geteuid() == 0 ? "user root\n" : "")
                         .arg(port)
                         .arg(listeners)
                         .toUtf8());
    }
    ~Broker() { kill(); }
    bool start()
    {
        process.start(QStringLiteral(ADC_MOSQUITTO),
                      {QStringLiteral("-c"), dir.filePath(QStringLiteral("mosquitto.conf"))});
        // Ready once it takes a connection.
        for (int i = 0; i < 100; ++i) {
            const int s = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const bool up =
                ::connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
            ::close(s);
            if (up) {
                return true;
            }
            process.waitForFinished(50);
        }
        ADD_FAILURE() << "mosquitto did not start: " << process.readAllStandardError().data();
        return false;
    }
    void kill()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QString url(const QString &topic = QStringLiteral("lab/b1")) const
    {
        return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port).arg(topic);
    }
};

/// mosquitto_sub on `topic`: the messages it prints as "TOPIC PAYLOAD" lines.
struct Subscriber {
    QProcess process;
    QByteArray output;

    Subscriber(int port, const QString &topic)
    {
        // Line by line, not in blocks, although its output is a pipe.
        process.start(QStringLiteral("stdbuf"), {"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p",
                                                 QString::number(port), "-t", topic, "-v", "-d"});
        waitFor("SUBACK");
    }
    ~Subscriber()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    bool waitFor(const QByteArray &text, int milliseconds = 10000)
    {
        for (int waited = 0; !output.contains(text) && waited < milliseconds; waited += 50) {
            process.waitForReadyRead(50);
            output += process.readAllStandardOutput();
        }
        return output.contains(text);
    }
    /// The payloads on `topic`, in order.
    QList<QByteArray> payloads(const QByteArray &topic) const
    {
        QList<QByteArray> found;
        for (const QByteArray &line : output.split('\n')) {
            if (line.startsWith(topic + ' ')) {
                found << line.mid(topic.size() + 1);
            }
        }
        return found;
    }
    /// Every record published on `topic`, in order, whether alone or in an array.
    QList<QJsonObject> records(const QByteArray &topic) const
    {
        QList<QJsonObject> found;
        for (const QByteArray &payload : payloads(topic)) {
            const QJsonDocument message = QJsonDocument::fromJson(payload);
            EXPECT_FALSE(message.isNull()) << payload.data();
            if (message.isArray()) {
                for (const QJsonValue &record : message.array()) {
                    found << record.toObject();
                }
            } else {
                found << message.object();
            }
        }
        return found;
    }
};

} // namespace adc::test
