#include "MqttBroker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

// The headless logger publishing to a real broker (mosquitto), started on a free loopback port
// with a configuration of its own, and read by mosquitto_sub.

namespace {

using adc::test::Broker;
using adc::test::freePort;
using adc::test::Subscriber;

/// Runs `program` to its end; its standard error when it fails.
bool run(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(20000) && process.exitCode() == 0;
    EXPECT_TRUE(ok) << program.toStdString() << ": " << process.readAllStandardError().data();
    return ok;
}

/// adconverter --headless with no display in its environment.
void startHeadless(QProcess &program, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "ADC_PUBLISH_PASSWORD"}) {
        environment.remove(QLatin1String(name));
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ADC_PROGRAM),
                  QStringList{QStringLiteral("--headless")} + arguments);
}

/// The rows of a recording, the header left out.
QList<QList<QByteArray>> rowsOf(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QList<QByteArray>> rows;
    for (const QByteArray &line : file.readAll().split('\n').mid(1)) {
        if (!line.isEmpty()) {
            rows << line.split(',');
        }
    }
    return rows;
}

/// "N records published to URL, M not published" of the summary: {N, M}.
std::pair<int, int> publishedOf(const QByteArray &summary)
{
    const QRegularExpressionMatch match =
        QRegularExpression(
            QStringLiteral("; (\\d+) records published to \\S+, (\\d+) not published"))
            .match(QString::fromLocal8Bit(summary));
    EXPECT_TRUE(match.hasMatch()) << summary.data();
    return {match.captured(1).toInt(), match.captured(2).toInt()};
}

TEST(PublishBroker, ASubscriberReceivesTheRecordsOfTheRecordingInOrderWithEqualValues)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber subscriber(broker.port, QStringLiteral("lab/#"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    QProcess logger;
    startHeadless(logger, {"--demo", "--mode", "int", "--record", path, "--count", "40",
                           "--publish", broker.url()});
    // Records arrive as they are taken (40 take about three seconds), not at the end.
    ASSERT_TRUE(subscriber.waitFor(R"("count":5,)"));
    QElapsedTimer rest;
    rest.start();
    ASSERT_TRUE(logger.waitForFinished(30000));
    EXPECT_GT(rest.elapsed(), 1000) << "the records came at the end";
    const QByteArray summary = logger.readAllStandardError();
    EXPECT_EQ(logger.exitCode(), 0) << summary.data();
    // The goodbye follows the last record.
    ASSERT_TRUE(subscriber.waitFor(R"("state":"offline")"));

    const QList<QList<QByteArray>> rows = rowsOf(path);
    const QList<QJsonObject> records = subscriber.records("lab/b1/records");
    ASSERT_EQ(rows.size(), 40);
    ASSERT_EQ(records.size(), rows.size()) << summary.data();
    EXPECT_EQ(publishedOf(summary), std::make_pair(40, 0));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].join(',').toStdString());
        const QJsonObject &record = records[i];
        const QList<QByteArray> &row = rows[i];
        // One stamp per record, read once for every output.
        EXPECT_EQ(record["time"].toString().toLatin1(), row[0]);
        EXPECT_EQ(record["seconds"].toDouble(), row[1].toDouble());
        EXPECT_EQ(record["run"].toInteger(), row[2].toLongLong());
        EXPECT_EQ(record["mode"].toString().toLatin1(), row[3]);
        EXPECT_EQ(record["count"].toInteger(), row[4].toLongLong());
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(record[QStringLiteral("ch%1").arg(k)].toDouble(), row[5 + k].toDouble());
        }
    }
    const QList<QByteArray> status = subscriber.payloads("lab/b1/status");
    ASSERT_EQ(status.size(), 2);
    const QJsonObject online = QJsonDocument::fromJson(status[0]).object();
    EXPECT_EQ(online["state"].toString(), QStringLiteral("online"));
    EXPECT_EQ(online["mode"].toString(), QStringLiteral("INT"));
    EXPECT_TRUE(online["port"].toString().startsWith(QStringLiteral("/dev/"))) << status[0].data();
}

TEST(PublishBroker, ABrokerDownAtStartOrRestartedDuringARunIsConnectedToAndNoRowIsLost)
{
    Broker broker;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    QProcess logger;
    startHeadless(logger, {"--demo", "--baud", "115200", "--mode", "int", "--record", path,
                           "--count", "2000", "--publish", broker.url()});
    // Down at the start: tried again after a second, then two.
    logger.waitForFinished(500);
    ASSERT_TRUE(broker.start());
    int lastBefore = 0;
    {
        Subscriber before(broker.port, QStringLiteral("lab/b1/records"));
        ASSERT_TRUE(before.waitFor("lab/b1/records {"));
        broker.kill();
        lastBefore = before.records("lab/b1/records").back()["count"].toInt();
    }
    logger.waitForFinished(1500);
    ASSERT_TRUE(broker.start());
    Subscriber after(broker.port, QStringLiteral("lab/b1/#"));
    // Told again that it is online, since the broker kept nothing.
    EXPECT_TRUE(after.waitFor(R"("state":"online")"));
    ASSERT_TRUE(logger.waitForFinished(30000));
    const QByteArray summary = logger.readAllStandardError();
    EXPECT_EQ(logger.exitCode(), 0) << summary.data();
    EXPECT_EQ(rowsOf(path).size(), 2000);
    ASSERT_TRUE(after.waitFor(R"("state":"offline")"));
    const QList<QJsonObject> records = after.records("lab/b1/records");
    ASSERT_FALSE(records.isEmpty());
    EXPECT_GT(records.front()["count"].toInt(), lastBefore);
    EXPECT_EQ(records.back()["count"].toInt(), 2000);
    const auto [published, dropped] = publishedOf(summary);
    EXPECT_EQ(published + dropped, 2000);
    EXPECT_GT(dropped, 0) << "the records of the gaps";
    EXPECT_GE(published, records.size());
}

TEST(PublishBroker, AWrongPasswordAndAnUntrustedCertificateAreEachToldOnce)
{
    Broker probe; // only for its folder
    const QString folder = probe.dir.path();
    const QString openssl = QStringLiteral("openssl");
    ASSERT_TRUE(run(openssl,
                    {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
                     "ca.crt", "-days", "1", "-subj", "/CN=AD Converter test CA"},
                    folder));
    ASSERT_TRUE(run(openssl,
                    {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out",
                     "server.csr", "-subj", "/CN=127.0.0.1"},
                    folder));
    QFile extensions(probe.dir.filePath(QStringLiteral("san.cnf")));
    ASSERT_TRUE(extensions.open(QIODevice::WriteOnly));
    extensions.write("subjectAltName=IP:127.0.0.1\n");
    extensions.close();
    ASSERT_TRUE(run(openssl,
                    {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                     "-CAcreateserial", "-out", "server.crt", "-days", "1", "-extfile", "san.cnf"},
                    folder));
    ASSERT_TRUE(run(QStringLiteral("mosquitto_passwd"), {"-c", "-b", "passwords", "bench", "right"},
                    folder));
    const int tlsPort = freePort();
    const int passwordPort = freePort();
    Broker broker(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                 "cafile %3/ca.crt\ncertfile %3/server.crt\nkeyfile %3/server.key\n"
                                 "listener %2 127.0.0.1\nallow_anonymous false\n"
                                 "password_file %3/passwords\n")
                      .arg(tlsPort)
                      .arg(passwordPort)
                      .arg(folder));
    ASSERT_TRUE(broker.start());
    QFile wrong(probe.dir.filePath(QStringLiteral("wrong")));
    ASSERT_TRUE(wrong.open(QIODevice::WriteOnly));
    wrong.write("wrong\n");
    wrong.close();

    struct Case {
        QStringList publish;
        const char *told; ///< empty: published
    };
    const Case cases[] = {
        {{QStringLiteral("mqtts://127.0.0.1:%1/lab/b1").arg(tlsPort)},
         "/lab/b1 failed (certificate verify failed)"},
        {{QStringLiteral("mqtt://bench@127.0.0.1:%1/lab/b1").arg(passwordPort),
          "--publish-password-file", wrong.fileName()},
         "refused the user name or password (not authorised)"},
        {{QStringLiteral("mqtts://127.0.0.1:%1/lab/b1").arg(tlsPort), "--publish-ca",
          probe.dir.filePath(QStringLiteral("ca.crt"))},
         ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.publish.join(' ').toStdString());
        const QString path = probe.dir.filePath(QStringLiteral("run%1.csv").arg(&c - cases));
        QProcess logger;
        startHeadless(logger, QStringList{"--demo", "--mode", "int", "--record", path, "--count",
                                          "20", "--publish"} +
                                  c.publish);
        ASSERT_TRUE(logger.waitForFinished(30000));
        const QByteArray text = logger.readAllStandardError();
        EXPECT_EQ(logger.exitCode(), 0) << text.data();
        EXPECT_EQ(rowsOf(path).size(), 20) << "the run goes on";
        const auto [published, dropped] = publishedOf(text);
        EXPECT_EQ(published + dropped, 20);
        if (*c.told != '\0') {
            EXPECT_EQ(text.count(c.told), 1) << text.data();
            EXPECT_EQ(text.count("MQTT broker at"), 1) << text.data();
            EXPECT_EQ(published, 0);
        } else {
            EXPECT_FALSE(text.contains("MQTT broker at")) << text.data();
            EXPECT_GT(published, 0);
        }
    }
}

TEST(PublishBroker, TheLastWillSaysOfflineWhenTheLoggerIsKilled)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber subscriber(broker.port, QStringLiteral("lab/b1/status"));
    QProcess logger;
    startHeadless(logger, {"--demo", "--mode", "mcp", "--publish", broker.url()});
    // "online" is told once the broker is reached and again with the mode once the run starts;
    // the subscriber may see the first or only the retained second.
    ASSERT_TRUE(subscriber.waitFor(R"("mode":"MCP3201")"));
    ::kill(static_cast<pid_t>(logger.processId()), SIGKILL);
    ASSERT_TRUE(logger.waitForFinished(5000));
    ASSERT_TRUE(subscriber.waitFor(R"("state":"offline")"));
    const QList<QByteArray> status = subscriber.payloads("lab/b1/status");
    ASSERT_GE(status.size(), 2);
    const QByteArray &online = status[status.size() - 2];
    EXPECT_TRUE(online.contains(R"("state":"online")") && online.contains(R"("mode":"MCP3201")"))
        << online.data();
    EXPECT_TRUE(status.back().contains(R"("state":"offline")")) << status.back().data();
}

} // namespace
