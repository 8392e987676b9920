#include "ChoiceStore.h"
#include "ProcessInfo.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/inotify.h>
#include <unistd.h>

namespace adc {
namespace {

TEST(ChoiceStore, ChoicesComeBackAndWhatCannotBeReadLeavesTheDefaults)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("adconverter.conf"));
    StartSettings made;
    made.device = QStringLiteral("/dev/ttyUSB3");
    made.baud = 115200;
    made.mode = Mode::Mcp3201;
    made.format = Format::KeyValue;
    made.channels = 12;
    made.recordPath = QStringLiteral("/data/bench.csv");
    made.recordFolder = QStringLiteral("/data");
    made.sweep = true;
    made.scope = true;
    {
        QSettings settings(file, QSettings::IniFormat);
        ChoiceStore::save(settings, made);
    }
    QSettings settings(file, QSettings::IniFormat);
    StartSettings back = ChoiceStore::load(settings);
    // The recording's file is not kept: the next start would add to it unasked.
    EXPECT_TRUE(back.recordPath.isEmpty());
    back.recordPath = made.recordPath;
    EXPECT_EQ(back, made);

    // What cannot be read leaves the program's own defaults.
    settings.setValue(QStringLiteral("port/baud"), QStringLiteral("fast"));
    settings.setValue(QStringLiteral("run/mode"), QStringLiteral("pic"));
    settings.setValue(QStringLiteral("run/format"), QStringLiteral("json"));
    settings.setValue(QStringLiteral("run/channels"), 33);
    StartSettings defaults;
    defaults.mode = Mode::Int;
    EXPECT_EQ(ChoiceStore::load(settings, defaults).format, Format::Board);
    EXPECT_EQ(ChoiceStore::load(settings, defaults).channels, 0);
    EXPECT_EQ(ChoiceStore::load(settings, defaults).baud, defaults.baud);
    EXPECT_EQ(ChoiceStore::load(settings, defaults).mode, Mode::Int);
}

/// Events inotify has for `descriptor`, by then.
int eventsOf(int descriptor)
{
    char buffer[4096];
    int events = 0;
    for (ssize_t got; (got = ::read(descriptor, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            ++events;
        }
    }
    return events;
}

/// Whether `condition` holds within `ms` milliseconds.
template <typename Condition> bool within(int ms, Condition condition)
{
    for (int waited = 0; !condition(); waited += 20) {
        if (waited >= ms) {
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

TEST(ChoiceStore, TheProgramTouchesNoSettingsWithoutTheDialogOrTheMenu)
{
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral(".config"));
    const QString folder = config + QStringLiteral("/adconverter");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/adconverter.conf");
    {
        QSettings kept(file, QSettings::IniFormat);
        kept.setValue(QStringLiteral("port/baud"), 19200);
    }
    const QByteArray before = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_FALSE(before.isEmpty());
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder).constData(),
                                  IN_OPEN | IN_ACCESS | IN_CREATE | IN_MODIFY | IN_MOVED_TO),
              0);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const auto endByTerm = [](QProcess &program) {
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        EXPECT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
    };

    // The window with the simulated board: its simulator starts after the point where settings
    // would have been read, so once it runs the window is up.
    QProcess plain;
    plain.setProcessEnvironment(environment);
    plain.start(QStringLiteral(ADC_PROGRAM), {QStringLiteral("--demo"), QStringLiteral("--sweep")});
    ASSERT_TRUE(plain.waitForStarted());
    EXPECT_TRUE(within(10000, [&] { return test::childOf(plain.processId()) != 0; }));
    QTest::qWait(300);
    endByTerm(plain);
    EXPECT_EQ(eventsOf(watch), 0) << "the settings were looked at without --choose";

    // With the dialog they are read; cancelled, nothing is written.
    QProcess choosing;
    choosing.setProcessEnvironment(environment);
    choosing.start(QStringLiteral(ADC_PROGRAM), {QStringLiteral("--choose")});
    ASSERT_TRUE(choosing.waitForStarted());
    EXPECT_TRUE(within(10000, [&] { return eventsOf(watch) > 0; }))
        << "the dialog did not read the settings";
    endByTerm(choosing);
    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    ::close(watch);
}

} // namespace
} // namespace adc
