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
#include "RecordingSession.h"

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

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
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

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString port;
    adc::Mode mode = adc::Mode::Int;
    double seconds = 10;
    long long untilCount = -1;
    double settle = 1.0;
    int sampleMs = 100;
    int tickMs = 10;
    QString recordPath;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &name = args[i];
        const QString &value = args[i + 1];
        if (name == "--port") {
            port = value;
        } else if (name == "--mode") {
            mode = value == "mcp" ? adc::Mode::Mcp3201 : adc::Mode::Int;
        } else if (name == "--seconds") {
            seconds = value.toDouble();
        } else if (name == "--until-count") {
            untilCount = value.toLongLong();
        } else if (name == "--settle") {
            settle = value.toDouble();
        } else if (name == "--sample-ms") {
            sampleMs = std::max(1, value.toInt());
        } else if (name == "--tick-ms") {
            tickMs = value.toInt();
        } else if (name == "--record") {
            recordPath = value;
        }
    }
    if (port.isEmpty()) {
        std::fprintf(stderr, "usage: adc-e2e-probe --port DEVICE [options]\n");
        return 2;
    }

    adc::CsvRecorder recorder;
    if (!recordPath.isEmpty() && !recorder.open(recordPath.toStdString(), false)) {
        std::fprintf(stderr, "%s\n", recorder.errorText().c_str());
        return 2;
    }
    adc::MainWindow window(port);
    std::unique_ptr<adc::RecordingSession> recording;
    if (recorder.recording()) {
        recording = std::make_unique<adc::RecordingSession>(window, recorder);
    }
    window.show();

    QElapsedTimer clock;
    clock.start();
    std::vector<double> delays;
    delays.reserve(100000);
    qint64 lastTick = 0;
    long long lastCount = -1;
    qint64 lastChange = 0;

    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(tickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick != 0) {
            delays.push_back(std::max(0.0, static_cast<double>(now - lastTick) / 1e6 - tickMs));
        }
        lastTick = now;
    });

    QTimer sample;
    sample.setInterval(sampleMs);
    QObject::connect(&sample, &QTimer::timeout, [&] {
        const double t = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const long long shown = window.TIMES_TEXT->text().toLongLong();
        std::printf("sample t=%.3f count=%lld cpu=%.4f rss_kib=%ld running=%d\n", t, shown,
                    processorSeconds(), residentKiB(), window.run() && window.run()->running());
        std::fflush(stdout);
        if (shown != lastCount) {
            lastCount = shown;
            lastChange = clock.elapsed();
        }
        const bool reached = untilCount >= 0 && shown >= untilCount &&
                             static_cast<double>(clock.elapsed() - lastChange) >= settle * 1000;
        if (t >= seconds || reached) {
            app.quit();
        }
    });

    QTimer::singleShot(0, &window, [&] {
        (mode == adc::Mode::Int ? window.Command1 : window.Command2)->click();
        if (tickMs > 0) {
            tick.start();
        }
        sample.start();
    });
    const int status = app.exec();
    std::printf("delays n=%zu p50_ms=%.3f p99_ms=%.3f max_ms=%.3f\n", delays.size(),
                percentile(delays, 0.5), percentile(delays, 0.99), percentile(delays, 1.0));
    return status;
}
