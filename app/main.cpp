#include "ChoiceStore.h"
#include "CommandLine.h"
#include "ConsoleWindow.h"
#include "DesktopCheck.h"
#include "DeviceName.h"
#include "ExitSignals.h"
#include "HeadlessLogger.h"
#include "LineViewOpener.h"
#include "LiveScope.h"
#include "MainWindow.h"
#include "PlotPicture.h"
#include "PortDiagnosis.h"
#include "PortList.h"
#include "PortScanner.h"
#include "RunSession.h"
#include "ScopeWindow.h"
#include "SessionStart.h"
#include "StartDialog.h"
#include "WindowMenu.h"
#include "WindowRecording.h"

#include <QApplication>
#include <QIcon>
#include <QSettings>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

namespace {

/// Answers the command lines that need no window (help, version, the port list, a refused
/// line); none when the program goes on.
std::optional<int> answerWithoutWindow(const adc::CommandLine &commandLine)
{
    switch (commandLine.action()) {
    case adc::CommandLine::Action::ShowHelp:
        std::fputs(qPrintable(adc::CommandLine::usage()), stdout);
        return commandLine.exitStatus();
    case adc::CommandLine::Action::ShowVersion:
        std::printf("%s\n", qPrintable(adc::CommandLine::versionText()));
        return commandLine.exitStatus();
    case adc::CommandLine::Action::ListPorts:
        std::fputs(qPrintable(adc::PortList::text(adc::PortList::available())), stdout);
        return commandLine.exitStatus();
    case adc::CommandLine::Action::Fail: {
        // One line, so that the reason stays in view; the help is one option away.
        QString reason = commandLine.errorText();
        if (reason.endsWith(QLatin1Char('.'))) {
            reason.chop(1);
        }
        std::fprintf(stderr, "adconverter: %s; see adconverter --help\n", qPrintable(reason));
        return commandLine.exitStatus();
    }
    case adc::CommandLine::Action::Run:
        break;
    }
    return std::nullopt;
}

/// Whether a window can be shown; where Qt would abort (no desktop, or a display that no X
/// server answers), says what is missing and what to do instead.
bool haveDesktop()
{
    const QString problem = adc::DesktopCheck::problem();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "adconverter: %s\n", qPrintable(problem));
    }
    return problem.isEmpty();
}

/// The icon of the menu entry (packaging/adconverter.svg, built into the program as a PNG), and
/// the entry's name, by which desktops that ask for it find that icon too.
void showAsTheMenuEntry()
{
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/adconverter.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("adconverter"));
}

/// Says on standard error why the session could not start.
int startFailed(const adc::SessionStart &start)
{
    std::fprintf(stderr, "adconverter: %s\n", qPrintable(start.errorText()));
    return start.exitStatus();
}

/// The start dialog until the session starts with its choices; none when it is cancelled. Why a
/// start failed is told in the dialog (started from the desktop's menu, nobody reads standard
/// error), where another choice can be made. The choices are kept as its defaults next time.
std::optional<adc::StartSettings> chooseStart(const adc::CommandLine &commandLine,
                                              adc::SessionStart &start, adc::PortScanner &scanner,
                                              adc::ExitSignals &exitSignals)
{
    const std::unique_ptr<QSettings> kept = adc::ChoiceStore::openUserSettings();
    const adc::StartSettings given = commandLine.overriding(adc::ChoiceStore::load(*kept));
    adc::StartDialog dialog(given, scanner);
    QObject::connect(&exitSignals, &adc::ExitSignals::received, &dialog, &QDialog::reject);
    while (dialog.exec() == QDialog::Accepted) {
        const adc::StartSettings chosen = dialog.choices();
        adc::ChoiceStore::save(*kept, chosen);
        if (start.prepare(chosen, commandLine.publishing()) && start.begin()) {
            return chosen;
        }
        dialog.warn(start.errorText());
    }
    return std::nullopt;
}

/// What every window of the program works with, for as long as the program runs.
struct Front {
    adc::RunSession &session;
    adc::SessionStart &start;
    adc::PortScanner &scanner;
    adc::ExitSignals &exitSignals;
    /// The window's choices, and whether the user has made any (the start dialog was used).
    adc::StartSettings settings;
    bool chosen = false;
    /// Set when the window closes to let another take its place.
    bool switching = false;
};

/// Keeps the choices `chooser` tells of (made in `window` or its menu) for the next start, and
/// lets another window take the place of `window` when the user chooses the other kind of lines.
template <typename Chooser> void followChoices(Front &front, Chooser &chooser, QWidget &window)
{
    QObject::connect(&chooser, &Chooser::chosen, &window, [&front](const adc::StartSettings &c) {
        front.settings = c;
        front.chosen = true;
        // Settings are written only once the user chooses something.
        adc::ChoiceStore::save(*adc::ChoiceStore::openUserSettings(), c);
    });
    QObject::connect(&chooser, &Chooser::formatWanted, &window, [&front, &window](adc::Format f) {
        front.settings.format = f;
        front.switching = true;
        window.close();
    });
    QObject::connect(&front.exitSignals, &adc::ExitSignals::received, &window, &QWidget::close);
}

/// Quits the event loop once the window has let go of the session; the session itself ends
/// unless another window takes its place.
void leaveLoop(Front &front)
{
    if (!front.switching) {
        front.start.stop();
    }
    QCoreApplication::exit(0);
}

/// The main window, its menu and the scope on the session, until the window is unloaded.
int showWindow(Front &front)
{
    adc::MainWindow window(front.session);
    adc::WindowRecording recording(front.session, window);
    adc::WindowMenu menu(window, front.session, recording, front.scanner, front.settings);
    menu.setSimulatedDevice(front.start.simulatedDevice());
    QObject::connect(&front.start, &adc::SessionStart::simulatedBoardMoved, &menu,
                     &adc::WindowMenu::simulatedBoardMoved);
    QObject::connect(&window, &adc::MainWindow::unloaded, &window, [&front] { leaveLoop(front); });
    followChoices(front, menu, window);
    recording.setShownInTitle(front.chosen);
    adc::LiveScope scope(front.session, window, front.settings.historyRecords);
    scope.setChannelSettings(front.settings.channelUnits);
    QObject::connect(&menu, &adc::WindowMenu::scopeWanted, &scope, &adc::LiveScope::open);
    adc::LineViewOpener lines(front.session);
    QObject::connect(&menu, &adc::WindowMenu::lineViewWanted, &lines, &adc::LineViewOpener::open);
    QObject::connect(&scope, &adc::LiveScope::lineViewWanted, &lines, &adc::LineViewOpener::open);
    if (adc::Publishing *publishing = front.start.publishing()) {
        window.addLineNote([publishing] { return publishing->stateText(); });
        // A refused password or certificate is told once; the runs go on.
        QObject::connect(publishing, &adc::Publishing::failed, &window, &adc::MainWindow::warn);
    }
    window.show();
    if (front.settings.scope) {
        scope.open();
    }
    menu.startChosenRun();
    return QCoreApplication::exec();
}

/// The window for boards that print lines of numbers (the scope, the port, Start and Stop) on
/// the session, reading at once, until it is closed.
int showConsole(Front &front)
{
    adc::ConsoleWindow window(front.session, front.scanner, front.settings);
    window.setSimulatedDevice(front.start.simulatedDevice());
    QObject::connect(&front.start, &adc::SessionStart::simulatedBoardMoved, &window,
                     &adc::ConsoleWindow::simulatedBoardMoved);
    QObject::connect(&window, &adc::ConsoleWindow::closed, &window, [&front] { leaveLoop(front); });
    followChoices(front, window, window);
    adc::LineViewOpener lines(front.session);
    QObject::connect(&window, &adc::ConsoleWindow::lineViewWanted, &lines,
                     &adc::LineViewOpener::open);
    if (adc::Publishing *publishing = front.start.publishing()) {
        window.addLineNote([publishing] { return publishing->stateText(); });
        QObject::connect(publishing, &adc::Publishing::failed, &window, &adc::ConsoleWindow::warn);
    }
    window.show();
    window.startRun();
    return QCoreApplication::exec();
}

/// The main window until it is unloaded; with --choose the start dialog first. A board that
/// prints lines of numbers gets the window for such boards instead, and either window gives
/// way to the other when the user chooses the other kind of lines.
int runWindow(int argc, char *argv[], const adc::CommandLine &commandLine)
{
    QApplication app(argc, argv);
    showAsTheMenuEntry();
    // The window decides when the program ends: once it is unloaded and the port is closed.
    app.setQuitOnLastWindowClosed(false);
    // Ctrl+C, SIGTERM and SIGHUP end the program as EXIT does: port closed, lock released.
    adc::ExitSignals exitSignals;
    adc::PortScanner scanner;
    adc::RunSession session;
    adc::SessionStart start(session);
    std::optional<adc::StartSettings> settings = commandLine.settings();
    if (commandLine.choose()) {
        settings = chooseStart(commandLine, start, scanner, exitSignals);
        if (!settings) {
            return 0;
        }
    } else if (!start.prepare(*settings, commandLine.publishing()) || !start.begin()) {
        return startFailed(start);
    }
    Front front{session, start, scanner, exitSignals, *settings, commandLine.choose()};
    int status = 0;
    do {
        front.switching = false;
        status =
            front.settings.format == adc::Format::Board ? showWindow(front) : showConsole(front);
    } while (front.switching);
    if (const QString notice = session.recordingNotice(); !notice.isEmpty()) {
        std::fprintf(stderr, "adconverter: %s\n", qPrintable(notice));
    }
    return status;
}

/// `--headless`: the core, the port and the recording only; no window and no display.
int runHeadless(int argc, char *argv[], const adc::CommandLine &commandLine)
{
    QCoreApplication app(argc, argv);
    // No window waits here: a message may wait for the list of serial devices it names.
    adc::PortDiagnosis::setMayWait(true);
    adc::RunSession session;
    adc::SessionStart start(session);
    if (!start.prepare(commandLine.settings(), commandLine.publishing()) || !start.begin()) {
        return startFailed(start);
    }
    adc::HeadlessLogger logger(session, commandLine.settings(), start);
    return logger.exec();
}

/// `--view FILE.csv`: the scope alone on a recording; no port, no main window.
int runViewer(int argc, char *argv[], const adc::CommandLine &commandLine)
{
    QApplication app(argc, argv);
    showAsTheMenuEntry();
    adc::ScopeWindow scope;
    scope.setKeptChannels(&adc::ChoiceStore::openUserSettings);
    scope.applyChannelSettings(commandLine.settings().channelUnits);
    adc::ExitSignals exitSignals;
    QObject::connect(&exitSignals, &adc::ExitSignals::received, &scope, &QWidget::close);
    scope.show();
    scope.open(commandLine.viewPath(), commandLine.settings().historyRecords);
    return QCoreApplication::exec();
}

/// The records each run of a report keeps: --history, else all of the recording's (a row takes
/// 32 bytes at least) as far as memory holds them; memory is taken only as rows come.
std::int64_t reportCapacity(const adc::CommandLine::Report &report, const std::string &path)
{
    if (report.history) {
        return *report.history;
    }
    std::error_code error;
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path, error));
    const std::int64_t fits =
        adc::HistoryStore::largestCapacity(adc::HistoryStore::physicalMemory());
    return std::max<std::int64_t>(1, std::min(error ? fits : bytes / 32 + 1, fits));
}

/// `--view FILE.csv --plot OUT.png | --stats`: the picture or the measurements of a run of the
/// recording, without a window and without a display. A bad file, run or range: status 2.
int runReport(int argc, char *argv[], const adc::CommandLine &commandLine)
{
    const adc::CommandLine::Report &report = *commandLine.report();
    const QString view = commandLine.viewPath();
    const std::string path = adc::DeviceName::toBytes(view).toStdString();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "adconverter: cannot open %s: %s\n", qPrintable(view),
                     std::strerror(errno));
        return 2;
    }
    adc::RecordingReport recording(reportCapacity(report, path));
    if (!recording.load(in, report.choice)) {
        std::fprintf(stderr, "adconverter: %s: %s\n", qPrintable(view), recording.error().c_str());
        return 2;
    }
    adc::ChannelUnits units;
    for (const adc::ChannelUnits::Setting &setting : commandLine.settings().channelUnits) {
        units.apply(setting);
    }
    if (report.plotPath.isEmpty()) {
        const auto style =
            report.csv ? adc::MeasurementTable::Style::Csv : adc::MeasurementTable::Style::Table;
        std::fputs(recording.stats(style, &units).c_str(), stdout);
        return 0;
    }
    // Drawn off screen: no display is needed, nor used when there is one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage picture =
        adc::PlotPicture::draw(recording.history(), recording.first(), recording.end(),
                               QSize(report.width, report.height), units);
    if (!picture.save(report.plotPath, "PNG")) {
        std::fprintf(stderr, "adconverter: cannot write %s\n", qPrintable(report.plotPath));
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line is read before the window system is touched, so that --help,
    // --version and --list-ports work without a display. Its bytes are kept: a file or device
    // name need not be UTF-8.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << adc::DeviceName::fromBytes(argv[i]);
    }
    const adc::CommandLine commandLine = adc::CommandLine::parse(arguments);
    if (const std::optional<int> status = answerWithoutWindow(commandLine)) {
        return *status;
    }
    if (commandLine.headless()) {
        return runHeadless(argc, argv, commandLine);
    }
    if (commandLine.report()) {
        return runReport(argc, argv, commandLine);
    }
    // Without a window system nothing is started, and no recording is made.
    if (!haveDesktop()) {
        return 1;
    }
    if (!commandLine.viewPath().isEmpty()) {
        return runViewer(argc, argv, commandLine);
    }
    return runWindow(argc, argv, commandLine);
}
