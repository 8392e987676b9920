#include "ScopeWindow.h"
#include "CsvRecorder.h"
#include "HistoryStore.h"
#include "LiveFeed.h"
#include "ManualClock.h"
#include "RecordFanOut.h"
#include "RecordingReader.h"
#include "WindowTestHelpers.h"

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace adc;
using namespace std::chrono_literals;
using adc::test::waitUntil;

namespace {

// A run fed to the scope as the window's run feeds it: blocks of records every 10 ms, with a
// slow wave on every channel and a square wave on channel 3.
struct LiveScope {
    HistoryStore history{HistoryStore::kDefaultCapacity};
    ScopeWindow window;
    LiveFeed feed{history, [this] { window.view()->historyChanged(); }};
    std::int64_t count = 0;
    RecordObserver *observer = &feed; ///< what the run tells
    test::ManualClock clock;
    RunStart run;

    LiveScope()
    {
        window.resize(900, 560);
        window.showLive(&history);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void start(Mode mode)
    {
        count = 0;
        run = clock.startOf(mode, run.run + 1);
        observer->runStarted(run);
    }
    void feedRecords(int n)
    {
        std::array<double, kMaxChannels> v{};
        const auto channels = static_cast<std::size_t>(modeInfo(history.mode()).channelCount);
        for (int i = 0; i < n; ++i) {
            clock.advance(10ms);
            observer->charactersTaken(clock.stampIn(run));
            ++count;
            for (std::size_t k = 0; k < channels; ++k) {
                v[k] = 500.0 + 400.0 * std::sin(static_cast<double>(count) / 97.0 + k) + 0.125 * k;
            }
            v[3] = (count / 150) % 2 == 0 ? 100.0 : 900.0;
            observer->recordAccepted(
                {history.mode(), count, std::span<const double>(v.data(), channels)});
        }
    }
    QImage plot() const { return window.view()->grab().toImage(); }
};

TEST(ScopeWindow, PauseKeepsTheViewStillWhileRecordsGoOnAndResumeJumpsToTheLiveEdge)
{
    LiveScope scope;
    scope.start(Mode::Int);
    scope.feedRecords(2000);
    ScopeView &view = *scope.window.view();
    ASSERT_TRUE(waitUntil([&] { return view.recordsInView().second == 2000; }));
    // Live: the newest record at the right edge of a 10 s window.
    EXPECT_DOUBLE_EQ(view.xRange().second, scope.history.micros(1999) / 1e6);
    EXPECT_DOUBLE_EQ(view.xRange().second - view.xRange().first, 10.0);

    const QImage liveFrame = scope.plot();

    QTest::keyClick(&scope.window, Qt::Key_Space);
    ASSERT_FALSE(view.isLive());
    // The axes and legend kept drawn from the live frames are what a scope opened now draws.
    const auto drawnAfresh = [&] {
        ScopeView fresh;
        fresh.resize(view.size());
        fresh.setHistory(&scope.history);
        fresh.setLive(view.isLive());
        for (int k = 0; k < kMaxChannels; ++k) {
            fresh.setChannelShown(k, view.channelShown(k));
        }
        return fresh.grab().toImage();
    };
    const QImage still = scope.plot();
    EXPECT_NE(still, liveFrame); // the legend says PAUSED
    EXPECT_EQ(drawnAfresh(), still);
    view.setChannelShown(2, false);
    EXPECT_EQ(drawnAfresh(), scope.plot());
    view.setChannelShown(2, true);
    scope.feedRecords(500);
    ASSERT_TRUE(waitUntil([&] { return scope.window.status()->text().contains("500"); }))
        << scope.window.status()->text().toStdString();
    EXPECT_EQ(scope.plot(), still);
    EXPECT_EQ(scope.window.pauseButton()->text(), "Resume");

    QTest::keyClick(&scope.window, Qt::Key_Space);
    EXPECT_TRUE(view.isLive());
    EXPECT_DOUBLE_EQ(view.xRange().second, scope.history.micros(2499) / 1e6);
    EXPECT_NE(scope.plot(), still);
}

TEST(ScopeWindow, TheWheelZoomsAroundThePointUnderTheMouse)
{
    LiveScope scope;
    scope.start(Mode::Int);
    scope.feedRecords(3000);
    ScopeView &view = *scope.window.view();
    view.setLive(false);
    view.fitAll();
    const QRect plot = view.plotRect();
    const QPointF at(plot.left() + plot.width() * 0.3, plot.top() + plot.height() * 0.7);
    const auto valueAt = [&] {
        const auto [lo, hi] = view.valueRange();
        return lo + (plot.bottom() + 1 - at.y()) / plot.height() * (hi - lo);
    };
    for (const Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ControlModifier}) {
        const double x = view.xAt(at.x());
        const double v = valueAt();
        const auto [from, to] = view.xRange();
        const auto [lo, hi] = view.valueRange();
        for (const int notches : {2, -1}) {
            QWheelEvent wheel(at, view.mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                              Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&view, &wheel);
        }
        // Two notches in, one out: one notch closer, the same point under the mouse.
        EXPECT_NEAR(view.xAt(at.x()), x, 1e-9 * (to - from));
        EXPECT_NEAR(valueAt(), v, 1e-9 * (hi - lo));
        const bool inTime = modifiers == Qt::NoModifier;
        EXPECT_NEAR(view.xRange().second - view.xRange().first, (to - from) * (inTime ? 0.8 : 1.0),
                    1e-9);
        EXPECT_NEAR(view.valueRange().second - view.valueRange().first,
                    (hi - lo) * (inTime ? 1.0 : 0.8), 1e-9);
    }
}

std::string readAll(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ScopeWindow, ARecordingViewedShowsWhatTheLiveScopeShowedAndABadOneNamesItsLine)
{
    const auto dir =
        std::filesystem::temp_directory_path() / ("adc-scope-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    CsvRecorder recorder;
    ASSERT_TRUE(recorder.open((dir / "run.csv").string(), false));
    LiveScope live;
    RecordFanOut both; // the recorder and the scope, as the run session tells them
    both.add(&recorder);
    both.add(&live.feed);
    live.observer = &both;
    live.start(Mode::Mcp3201);
    live.feedRecords(700);
    live.start(Mode::Int);
    live.feedRecords(25'000); // more records than pixel columns: drawn from the index
    recorder.close();
    live.window.view()->setLive(false);
    live.window.view()->fitAll();

    ScopeWindow viewed;
    viewed.resize(live.window.size());
    viewed.show();
    QSignalSpy loaded(&viewed, &ScopeWindow::loaded);
    viewed.open(QString::fromStdString((dir / "run.csv").string()), HistoryStore::kDefaultCapacity);
    ASSERT_TRUE(loaded.wait(10000));
    EXPECT_EQ(loaded.front().front().toString(), "");
    ASSERT_EQ(viewed.runChoice()->count(), 2);
    EXPECT_TRUE(viewed.runChoice()->isVisibleTo(&viewed));
    viewed.runChoice()->setCurrentIndex(1);
    emit viewed.runChoice()->activated(1);

    const HistoryStore &shown = *viewed.view()->history();
    ASSERT_EQ(shown.end(), live.history.end());
    for (std::int64_t i = 0; i < shown.end(); i += 7) {
        ASSERT_EQ(shown.micros(i), live.history.micros(i));
        for (int k = 0; k < kMaxChannels; ++k) {
            ASSERT_EQ(shown.value(i, k), live.history.value(i, k)) << i << " ch" << k;
        }
    }
    EXPECT_EQ(viewed.view()->grab().toImage(), live.plot());

    // The records in view, exported, are the recording's rows for them.
    QSignalSpy exported(&live.window, &ScopeWindow::exported);
    live.window.view()->setLive(true);
    live.window.exportRecords(QString::fromStdString((dir / "view.csv").string()));
    ASSERT_TRUE(exported.wait(5000));
    EXPECT_EQ(exported.front().front().toString(), "");
    const std::string recording = readAll(dir / "run.csv");
    const std::string view = readAll(dir / "view.csv");
    ASSERT_TRUE(view.starts_with(RecordingFormat::kHeaderLine));
    EXPECT_EQ(std::count(view.begin(), view.end(), '\n'),
              1002); // the header and both ends of the 10 s
    EXPECT_TRUE(recording.ends_with(view.substr(RecordingFormat::kHeaderLine.size())));

    // A bad row: the rows before it are shown, and the window names its line.
    std::ofstream(dir / "bad.csv") << RecordingFormat::kHeaderLine
                                   << "2026-12-07T00:00:00.010Z,0.010000,1,INT,1,1,2,3,4,5,6,7,8\n"
                                   << "2026-12-07T00:00:00.020Z,0.020000,1,INT,2,1,2,3,4,5,6,7,x\n";
    ScopeWindow bad;
    QSignalSpy badLoaded(&bad, &ScopeWindow::loaded);
    bad.open(QString::fromStdString((dir / "bad.csv").string()), 100);
    ASSERT_TRUE(badLoaded.wait(5000));
    EXPECT_TRUE(bad.status()->text().contains("line 3: ch7 'x' is not a value"))
        << bad.status()->text().toStdString();
    EXPECT_EQ(bad.view()->history()->end(), 1);
    std::filesystem::remove_all(dir);
}

} // namespace
