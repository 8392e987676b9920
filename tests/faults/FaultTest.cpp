#include "FaultTest.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>

namespace adc::test {

namespace {

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed memory in quarantine, so resident memory climbs with every
// allocation; there the sanitizer's own leak check stands in for the bound.
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif

} // namespace

int openDescriptors()
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) {
        return -1;
    }
    int n = 0;
    while (const dirent *entry = ::readdir(dir)) {
        n += entry->d_name[0] != '.' ? 1 : 0;
    }
    ::closedir(dir);
    // Not counting the descriptor of the listing itself.
    return n - 1;
}

void FaultTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_line = std::make_unique<PseudoTerminal>();
    ASSERT_TRUE(m_line->isOpen());
    pointDeviceAt(m_line->slavePath());
    session.setDevice(devicePath());
    window = std::make_unique<MainWindow>(session);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    probe = std::make_unique<LivenessProbe>();
}

void FaultTest::TearDown()
{
    closeMessageBoxes();
    probe.reset();
    window.reset();
    m_line.reset();
    m_deadLines.clear();
}

QString FaultTest::devicePath() const
{
    return m_dir.filePath(QStringLiteral("ttyUSB0"));
}

void FaultTest::pointDeviceAt(const std::string &target)
{
    // A new link under a temporary name, renamed over the old one: the name never dangles.
    const QByteArray link = QFile::encodeName(devicePath());
    const QByteArray fresh = link + ".new";
    ASSERT_EQ(::symlink(target.c_str(), fresh.constData()), 0) << fresh.constData();
    ASSERT_EQ(::rename(fresh.constData(), link.constData()), 0) << link.constData();
}

void FaultTest::removeDevice()
{
    ASSERT_EQ(::unlink(QFile::encodeName(devicePath()).constData()), 0);
}

PseudoTerminal &FaultTest::plugInNewLine()
{
    m_deadLines.push_back(std::move(m_line));
    m_line = std::make_unique<PseudoTerminal>();
    EXPECT_TRUE(m_line->isOpen());
    pointDeviceAt(m_line->slavePath());
    return *m_line;
}

void FaultTest::click(QPushButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

QString FaultTest::countText() const
{
    return window->TIMES_TEXT->text();
}

::testing::AssertionResult FaultTest::dismissFailure()
{
    QMessageBox *box = window->failureBox();
    if (box == nullptr) {
        return ::testing::AssertionFailure() << "no failure message is open";
    }
    QAbstractButton *ok = box->button(QMessageBox::Ok);
    if (ok == nullptr) {
        return ::testing::AssertionFailure() << "the failure message has no OK button";
    }
    ok->click();
    return waitFor([this] { return window->failureBox() == nullptr && visibleMessageBoxes() == 0; },
                   2000, "the failure message to close");
}

::testing::AssertionResult FaultTest::waitFor(const std::function<bool()> &condition, int timeoutMs,
                                              std::string_view what)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return ::testing::AssertionFailure()
                   << "waited " << timeoutMs << " ms in vain for " << what;
        }
        QTest::qWait(5);
    }
    return ::testing::AssertionSuccess();
}

bool FaultTest::idle()
{
    return m_line->waitingAtSlave() == 0 && session.port().inBufferCount() == 0 &&
           !window->display().hasPending();
}

::testing::AssertionResult FaultTest::settle(std::int64_t count, int timeoutMs)
{
    const QString expected = QString::number(count);
    const auto state = [&] {
        std::string s = "; the counter shows \"" + countText().toStdString() + "\"";
        if (window->run() != nullptr) {
            s += ", the run counted " + std::to_string(window->run()->count());
        }
        s += ", " + std::to_string(m_line->waitingAtSlave()) + " bytes wait on the line, " +
             std::to_string(session.port().inBufferCount()) + " in the port";
        return s;
    };
    const auto done = [&] {
        return idle() && countText() == expected && window->run() != nullptr &&
               window->run()->count() == count;
    };
    if (auto reached = waitFor(done, timeoutMs, "the count " + expected.toStdString()); !reached) {
        return reached << state();
    }
    // Bytes still on their way through the line would show up now.
    QTest::qWait(50);
    if (!done()) {
        return ::testing::AssertionFailure() << "the count did not stay at " << count << state();
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult FaultTest::feed(std::vector<LineFeeder::Piece> pieces,
                                           std::int64_t count, int timeoutMs)
{
    const std::size_t size = LineFeeder::sizeOf(pieces);
    LineFeeder feeder(*m_line, std::move(pieces));
    if (auto written = waitFor([&] { return feeder.done(); }, timeoutMs, "the board's bytes");
        !written) {
        return written << "; " << feeder.written() << " of " << size << " bytes were written";
    }
    if (!feeder.succeeded()) {
        return ::testing::AssertionFailure()
               << "the line refused bytes after " << feeder.written() << " of " << size;
    }
    return settle(count);
}

void FaultTest::expectHealthy(qint64 memoryBoundKiB)
{
    const qint64 gap = probe->worstGapMs();
    const qint64 growth = probe->growthKiB();
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::printf("[ measured ] %s: worst event-loop wait %lld ms over %d ticks, resident memory "
                "%lld KiB -> peak %lld KiB (growth %lld KiB, bound %lld KiB%s), count %s\n",
                info != nullptr ? info->name() : "?", static_cast<long long>(gap), probe->ticks(),
                static_cast<long long>(probe->baselineKiB()),
                static_cast<long long>(probe->peakKiB()), static_cast<long long>(growth),
                static_cast<long long>(memoryBoundKiB), kMemoryMeasurable ? "" : ", not checked",
                countText().toStdString().c_str());
    std::fflush(stdout);
    EXPECT_GT(probe->ticks(), 0) << "the probe's timer never fired";
    EXPECT_LT(gap, kWorstGapMs) << "the event loop stood still for " << gap << " ms";
    EXPECT_GE(probe->baselineKiB(), 0) << "resident memory cannot be read";
    if (kMemoryMeasurable) {
        EXPECT_LT(growth, memoryBoundKiB) << "resident memory grew by " << growth << " KiB";
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isUnloaded());
}

} // namespace adc::test
