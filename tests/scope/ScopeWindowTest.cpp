#include "ScopeWindow.h"
#include "ChannelDialog.h"
#include "CsvRecorder.h"
#include "HistoryStore.h"
#include "LiveFeed.h"
#include "ManualClock.h"
#include "RecordFanOut.h"
#include "RecordingReader.h"
#include "WindowTestHelpers.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
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
    ASSERT_TRUE(waitUntil([&] { return view.state().recordsInView().second == 2000; }));
    // Live: the newest record at the right edge of a 10 s window.
    EXPECT_DOUBLE_EQ(view.state().xRange().second, scope.history.micros(1999) / 1e6);
    EXPECT_DOUBLE_EQ(view.state().xRange().second - view.state().xRange().first, 10.0);

    const QImage liveFrame = scope.plot();

    QTest::keyClick(&scope.window, Qt::Key_Space);
    ASSERT_FALSE(view.state().isLive());
    // The axes and legend kept drawn from the live frames are what a scope opened now draws.
    const auto drawnAfresh = [&] {
        ScopeView fresh;
        fresh.resize(view.size());
        fresh.setHistory(&scope.history);
        fresh.setLive(view.state().isLive());
        for (int k = 0; k < kMaxChannels; ++k) {
            fresh.setChannelShown(k, view.state().channelShown(k));
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
    EXPECT_EQ(scope.window.pauseAction()->text(), "Resume");

    QTest::keyClick(&scope.window, Qt::Key_Space);
    EXPECT_TRUE(view.state().isLive());
    // The newest record at the right edge, or less than a pixel column before it.
    const auto [from, to] = view.state().xRange();
    const double newest = scope.history.micros(2499) / 1e6;
    EXPECT_GE(to, newest);
    EXPECT_LT(to - newest, (to - from) / (view.plotRect().width() - 1));
    EXPECT_NE(scope.plot(), still);
}

// The wheel zooms; Home shows the whole run again, and the line says so; a new Start shows the
// new run live, on the board's range and without the last run's markers.
TEST(ScopeWindow, TheWheelZoomsHomeShowsAllAndANewStartFitsTheNewRun)
{
    LiveScope scope;
    scope.start(Mode::Int);
    scope.feedRecords(3000);
    ScopeView &view = *scope.window.view();
    view.setLive(false);
    const QPoint at = view.plotRect().center();
    const auto inView = [&](std::int64_t n) {
        const QString text = scope.window.status()->text();
        return text.endsWith(QLocale().toString(n) + " records in view")
                   ? testing::AssertionSuccess()
                   : testing::AssertionFailure() << text.toStdString();
    };
    for (const Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ControlModifier}) {
        QWheelEvent wheel(at, view.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &wheel);
    }
    EXPECT_EQ(view.state().valueScale(), ScopeView::ValueScale::Zoomed);
    const auto [first, last] = view.state().recordsInView();
    EXPECT_LT(last - first, 1000);
    EXPECT_TRUE(inView(last - first));
    QTest::keyClick(&scope.window, Qt::Key_Home);
    EXPECT_TRUE(inView(3000));

    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::ShiftModifier, at + QPoint(100, 0));
    ASSERT_TRUE(view.state().marker(PlotState::Marker::B));
    scope.start(Mode::Mcp3201);
    scope.feedRecords(50);
    EXPECT_TRUE(view.state().isLive());
    EXPECT_EQ(scope.window.pauseAction()->text(), "Pause");
    EXPECT_EQ(view.state().valueRange(), std::pair(0.0, 4095.0));
    EXPECT_FALSE(view.state().marker(PlotState::Marker::A) ||
                 view.state().marker(PlotState::Marker::B));
}

// The colour at the pixel (px, py) of `image` is `colour`, or close to it where a line is
// smoothed.
bool shows(const QImage &image, double px, double py, QColor colour)
{
    const QColor c = image.pixelColor(static_cast<int>(px), static_cast<int>(py));
    return std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
               std::abs(c.blue() - colour.blue()) <
           90;
}

// How much of the pixels of row `py` around `px` (a column to either side) a line of `colour`
// covers on the plot's background `ground`: about 1 for a line through them.
double covered(const QImage &image, double px, int py, QColor colour, QColor ground)
{
    double share = 0.0;
    for (int x = static_cast<int>(px) - 1; x <= static_cast<int>(px) + 1; ++x) {
        const QColor c = image.pixelColor(x, py);
        share += (c.redF() - ground.redF()) / (colour.redF() - ground.redF());
    }
    return share;
}

// Spikes in the first and the last record (ch6 at the top, ch7 at the bottom) show at Fit all,
// with few records and with more than pixel columns; live, the newest record's spike reaches
// the top; a lone record is a dot.
TEST(ScopeWindow, EveryRecordInViewIsDrawnTheFirstTheLastAndALoneOne)
{
    const QColor top = PlotPainter::channelColour(Mode::Int, 6);
    const QColor bottom = PlotPainter::channelColour(Mode::Int, 7);
    for (const std::int64_t records : {1, 300, 10'000}) {
        HistoryStore history;
        history.startRun(Mode::Int, 1, {});
        std::array<double, kMaxChannels> row{};
        for (std::int64_t i = 0; i < records; ++i) {
            row.fill(500.0 + static_cast<double>(i % 7));
            row[6] = i == 0 ? 1023.0 : row[6];
            row[7] = i == records - 1 && records > 1 ? 0.0 : row[7];
            history.append(2'059'597 + i * 45'000, i + 1, row);
        }
        ScopeView view;
        view.resize(900, 500);
        view.setHistory(&history);
        const QRect plot = view.plotRect();
        // Live: the newest record at the right edge (within a pixel column).
        if (records == 300) {
            const QImage live = view.grab().toImage();
            const PlotState::Mapping m = view.state().mapping();
            const double x = m.pixelOfX(view.state().xOf(records - 1));
            EXPECT_GT(x, plot.right() - 1.0);
            const QColor ground = live.pixelColor(plot.topLeft() + QPoint(3, 3));
            EXPECT_GT(covered(live, x, plot.bottom(), bottom, ground), 0.8);
        }
        view.setLive(false);
        view.fitAll();
        const QImage image = view.grab().toImage();
        if (records == 1) {
            const PlotState::Mapping m = view.state().mapping();
            EXPECT_TRUE(
                shows(image, m.pixelOfX(view.state().xOf(0)), m.pixelOfValue(500.0), bottom));
            continue;
        }
        EXPECT_TRUE(shows(image, plot.left(), plot.top(), top)) << records;
        EXPECT_TRUE(shows(image, plot.right(), plot.bottom(), bottom)) << records;
    }
}

std::string readAll(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ScopeWindow, ARecordingViewedShowsWhatTheLiveScopeShowed)
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

    const HistoryStore &shown = *viewed.view()->state().history();
    ASSERT_EQ(shown.end(), live.history.end());
    for (std::int64_t i = 0; i < shown.end(); i += 7) {
        ASSERT_EQ(shown.micros(i), live.history.micros(i));
        for (int k = 0; k < kMaxChannels; ++k) {
            ASSERT_EQ(shown.value(i, k), live.history.value(i, k)) << i << " ch" << k;
        }
    }
    // The same picture, but for the word PAUSED, which a recording (never live) does not show.
    live.window.view()->setGrowing(false);
    EXPECT_EQ(viewed.view()->grab().toImage(), live.plot());
    EXPECT_FALSE(viewed.pauseAction()->isVisible());

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

    std::filesystem::remove_all(dir);
}

// What the viewer cannot show is told, and closing the window ends the reading at once,
// whatever the file.
TEST(ScopeWindow, FilesTheViewerCannotShowAreToldAndClosingEndsTheReadingAtOnce)
{
    const auto dir =
        std::filesystem::temp_directory_path() / ("adc-view-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto opened = [](const std::filesystem::path &path) {
        auto window = std::make_unique<ScopeWindow>();
        window->open(QString::fromStdString(path.string()), 100);
        return window;
    };
    const auto outcome = [](ScopeWindow &window) {
        QSignalSpy loaded(&window, &ScopeWindow::loaded);
        EXPECT_TRUE(loaded.wait(5000));
        return window.status()->text().toStdString();
    };
    const auto contains = [](const std::string &text, const std::string &part) {
        return text.find(part) != std::string::npos ? testing::AssertionSuccess()
                                                    : testing::AssertionFailure() << text;
    };
    // A bad row: the rows before it are shown, and the window names its line.
    std::ofstream(dir / "bad.csv") << RecordingFormat::kHeaderLine
                                   << "2026-12-07T00:00:00.010Z,0.010000,1,INT,1,1,2,3,4,5,6,7,8\n"
                                   << "2026-12-07T00:00:00.020Z,0.020000,1,INT,2,1,2,3,4,5,6,7,x\n";
    auto bad = opened(dir / "bad.csv");
    EXPECT_TRUE(contains(outcome(*bad), "line 3: ch7 'x' is not a value"));
    EXPECT_EQ(bad->view()->state().history()->end(), 1);
    std::ofstream(dir / "header.csv") << RecordingFormat::kHeaderLine;
    EXPECT_EQ(outcome(*opened(dir / "header.csv")), "header.csv: no records, only the header");
    EXPECT_TRUE(contains(outcome(*opened(dir)), "it is a directory"));
    EXPECT_TRUE(contains(outcome(*opened("/dev/zero")), "line 1: longer than"));

    // A FIFO nobody writes to: the window waits for a writer, and goes at once when closed.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    auto fifo = opened(dir / "fifo");
    QTest::qWait(300);
    EXPECT_TRUE(fifo->status()->text().startsWith("Reading"));
    QElapsedTimer closing;
    closing.start();
    fifo.reset();
    EXPECT_LT(closing.elapsed(), 1000);
    std::filesystem::remove_all(dir);
}

} // namespace

TEST(ScopeWindow, TheTriggerHoldsTheSquareWaveAtARisingEdgeAndThePanelMeasuresWhatIsShown)
{
    LiveScope scope;
    scope.start(Mode::Int);
    scope.feedRecords(500);
    ScopeWindow &window = scope.window;
    window.triggerAction()->trigger();
    window.triggerBar()->channelChoice()->setCurrentIndex(3);
    emit window.triggerBar()->channelChoice()->activated(3);
    // No level typed: the middle of the square wave's 100 and 900.
    EXPECT_EQ(window.triggerBar()->levelField()->text(), "500");
    scope.feedRecords(2000);
    const PlotState &state = window.view()->state();
    const HistoryStore &h = scope.history;
    ASSERT_TRUE(waitUntil([&] { return state.held() && state.held()->trigger; }));
    const PlotState::Held held = *state.held();
    EXPECT_EQ(h.value(*held.trigger, 3), 900.0);
    EXPECT_EQ(h.value(*held.trigger - 1, 3), 100.0);
    // The 10 s window at a record every 10 ms, half of it before the trigger.
    EXPECT_EQ(held.end - held.start, 1000);
    EXPECT_EQ(*held.trigger - held.start, 500);
    // Paused, the view stays on the stretch held.
    window.view()->setLive(false);
    scope.feedRecords(400);
    EXPECT_EQ(state.recordsInView(), std::pair(held.start, held.end));

    window.measurementsAction()->trigger();
    const QStringList lines = window.measurements()->text().split('\n');
    ASSERT_EQ(lines.size(), 2 + 8) << window.measurements()->text().toStdString();
    EXPECT_TRUE(lines[0].contains("1,000 records") || lines[0].contains("1000 records"));
    // ch3: 100 and 900 in equal shares, a period of 300 records of 10 ms.
    EXPECT_EQ(lines[5].simplified().split(' ').mid(0, 4),
              QStringList({"ch3", "1000", "100", "900"}));
    EXPECT_TRUE(lines[5].simplified().endsWith("0.33333")) << lines[5].toStdString();
}

// Live, the plot moves by whole pixels and only its new columns are drawn: what is on the
// screen after many frames is what a full paint draws.
TEST(ScopeWindow, APlotMovedByWholePixelsIsWhatAFullPaintDraws)
{
    LiveScope scope;
    scope.start(Mode::Int);
    ScopeView &view = *scope.window.view();
    // Frames before the run's first record have nothing to move.
    for (int frame = 0; frame < 2; ++frame) {
        view.historyChanged();
        QTest::qWait(ScopeView::kLiveRepaintMilliseconds + 20);
    }
    const auto onScreen = [&] {
        const QImage window = scope.window.screen()->grabWindow(scope.window.winId()).toImage();
        return window.copy(QRect(view.mapTo(&scope.window, QPoint()), view.size()));
    };
    scope.window.resize(1300, 560); // a pixel column for each record in view, or more
    scope.feedRecords(1200);        // longer than the window: it moves from now on
    for (int frame = 0; frame < 10; ++frame) {
        scope.feedRecords(7);
        QTest::qWait(ScopeView::kLiveRepaintMilliseconds + 20);
    }
    // Alike but for the smoothing where a line crosses the edge of a strip drawn (a few levels;
    // a strip left out is over a hundred).
    const QImage shown = onScreen().convertToFormat(QImage::Format_RGB32);
    const QImage full = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), full.size());
    int most = 0;
    for (int y = 0; y < full.height(); ++y) {
        for (int x = 0; x < full.width(); ++x) {
            const QRgb a = shown.pixel(x, y);
            const QRgb b = full.pixel(x, y);
            most = std::max({most, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                             std::abs(qBlue(a) - qBlue(b))});
        }
    }
    EXPECT_LE(most, 40);
}

// The channel dialog's fields become the scope's names and units; only Keep writes them, and
// they read back as they were; a gain of 0 is refused in the dialog.
TEST(ScopeWindow, ChannelSettingsAreKeptOnlyByKeepAndReadBack)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("kept.ini");
    const auto open = [file] { return std::make_unique<QSettings>(file, QSettings::IniFormat); };
    ScopeWindow window;
    window.setKeptChannels(open);
    const ChannelUnits::Setting given{2, "supply", 5.0 / 1023, std::nullopt, "V"};
    window.applyChannelSettings(std::span(&given, 1));
    const auto edit = [&] {
        window.editChannels();
        return window.findChild<ChannelDialog *>();
    };
    ChannelDialog *dialog = edit();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->field(2, 0)->text(), "supply");
    dialog->field(1, 1)->setText("0");
    dialog->keepButton()->click();
    EXPECT_TRUE(dialog->isVisible()); // the gain of ch1 is 0
    dialog->field(1, 1)->setText("1/10");
    dialog->field(1, 3)->setText("mA");
    EXPECT_FALSE(QFile::exists(file));
    dialog->keepButton()->click();
    EXPECT_DOUBLE_EQ(window.channelUnits().toUnits(1, 25), 2.5);
    const ChannelUnits kept = ChannelDialog::kept(*open());
    EXPECT_TRUE(kept == window.channelUnits());
    EXPECT_EQ(kept.name(2, "ch2"), "supply");
    EXPECT_EQ(kept.unit(1), "mA");
}
