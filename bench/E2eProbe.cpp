// Runs the program's own window against a port and reports what a person at the bench would
// notice, ten times a second: the count in TIMES_TEXT, processor time, resident memory, and
// how late a 10 ms timer fires in the window's event loop.
//
//   adc-e2e-probe --port DEVICE [--mode int|mcp] [--seconds S] [--until-count N] [--settle S]
//                 [--sample-ms M] [--tick-ms T] [--record FILE]
//
// It clicks the Start button at once, then prints a "sample" line every M ms (default 100)
// until S seconds have passed, or until the count has reached N and stayed unchanged for the
// settle time. The last line summarises how late a T ms timer fired (median and 99th
// percentile, in milliseconds); --tick-ms 0 leaves that timer out, so that it does not count
// in the processor time of a quiet run. --record FILE records the runs as `adconverter --record`
// does.

#include "MainWindow.h"
#include "support/ProcessInfo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[at];
}

struct Options {
    QString port;
    adc::Mode mode = adc::Mode::Int;
    double seconds = 10;
    long long untilCount = -1;
    double settle = 1.0;
    int sampleMs = 100;
    int tickMs = 10;
    QString recordPath;
};

Options parseOptions(const QStringList &args)
{
    Options o;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &name = args[i];
        const QString &value = args[i + 1];
        if (name == "--port") {
            o.port = value;
        } else if (name == "--mode") {
            o.mode = adc::modeForOption(value.toStdString()).value_or(adc::Mode::Int);
        } else if (name == "--seconds") {
            o.seconds = value.toDouble();
        } else if (name == "--until-count") {
            o.untilCount = value.toLongLong();
        } else if (name == "--settle") {
            o.settle = value.toDouble();
        } else if (name == "--sample-ms") {
            o.sampleMs = std::max(1, value.toInt());
        } else if (name == "--tick-ms") {
            o.tickMs = value.toInt();
        } else if (name == "--record") {
            o.recordPath = value;
        }
    }
    return o;
}

/// How late a timer of a fixed interval fires in the window's event loop.
class TickDelays {
public:
    explicit TickDelays(int intervalMs) : m_intervalMs(intervalMs)
    {
        m_delays.reserve(100000);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_clock.start();
        m_timer.start();
    }

    void printSummary() const
    {
        std::printf("delays n=%zu p50_ms=%.3f p99_ms=%.3f max_ms=%.3f\n", m_delays.size(),
                    percentile(m_delays, 0.5), percentile(m_delays, 0.99),
                    percentile(m_delays, 1.0));
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        if (m_lastTick != 0) {
            m_delays.push_back(
                std::max(0.0, static_cast<double>(now - m_lastTick) / 1e6 - m_intervalMs));
        }
        m_lastTick = now;
    }

    int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<double> m_delays;
    qint64 m_lastTick = 0;
};

/// Prints what the window shows at every sample and ends the event loop when the time is up
/// or the count has settled at its goal.
class Sampler {
public:
    Sampler(const adc::MainWindow &window, const Options &options)
        : m_window(window), m_options(options)
    {
        m_clock.start();
        m_timer.setInterval(options.sampleMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
    }

    void start() { m_timer.start(); }

private:
    void sample()
    {
        const double t = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
        const long long shown = m_window.TIMES_TEXT->text().toLongLong();
        const adc::AcquisitionRun *run = m_window.run();
        std::printf("sample t=%.3f count=%lld cpu=%.4f rss_kib=%ld running=%d\n", t, shown,
                    processorSeconds(), adc::test::residentKiB(), run && run->running());
        std::fflush(stdout);
        if (shown != m_lastCount) {
            m_lastCount = shown;
            m_lastChange = m_clock.elapsed();
        }
        const bool reached =
            m_options.untilCount >= 0 && shown >= m_options.untilCount &&
            static_cast<double>(m_clock.elapsed() - m_lastChange) >= m_options.settle * 1000;
        if (t >= m_options.seconds || reached) {
            QCoreApplication::quit();
        }
    }

    const adc::MainWindow &m_window;
    const Options &m_options;
    QTimer m_timer;
    QElapsedTimer m_clock;
    long long m_lastCount = -1;
    qint64 m_lastChange = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const Options options = parseOptions(app.arguments());
    if (options.port.isEmpty()) {
        std::fprintf(stderr, "usage: adc-e2e-probe --port DEVICE [options]\n");
        return 2;
    }

    adc::RunSession session;
    session.setDevice(options.port);
    adc::MainWindow window(session);
    if (!options.recordPath.isEmpty() && !session.startRecording(options.recordPath, false)) {
        std::fprintf(stderr, "%s\n", qPrintable(session.recordingError()));
        return 2;
    }
    window.show();
    TickDelays delays(options.tickMs);
    Sampler sampler(window, options);
    QTimer::singleShot(0, &window, [&] {
        (options.mode == adc::Mode::Int ? window.Command1 : window.Command2)->click();
        if (options.tickMs > 0) {
            delays.start();
        }
        sampler.start();
    });
    const int status = app.exec();
    delays.printSummary();
    return status;
}
