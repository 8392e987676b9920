#include "CommandLine.h"
#include "DemoBoard.h"
#include "DeviceName.h"
#include "ExitSignals.h"
#include "HeadlessLogger.h"
#include "LiveFeed.h"
#include "MainWindow.h"
#include "PortList.h"
#include "ScopeWindow.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

#include <algorithm>
#include <cstdio>
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

/// Whether a window can be shown; without a desktop Qt would abort with a hint about
/// reinstalling, so say what is missing instead.
bool haveDesktop()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("adconverter: a graphical desktop is needed (DISPLAY or WAYLAND_DISPLAY is not "
                   "set). Without one, start the program on a virtual display: xvfb-run -a "
                   "adconverter\n",
                   stderr);
        return false;
    }
    return true;
}

/// The main window until it is unloaded, recording to `recorder` when there is one.
int runWindow(int argc, char *argv[], const adc::CommandLine &commandLine,
              std::unique_ptr<adc::CsvRecorder> recorder)
{
    QApplication app(argc, argv);
    // The icon of the menu entry (packaging/adconverter.svg, built into the program as a PNG),
    // and the entry's name, by which desktops that ask for it find that icon too.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/adconverter.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("adconverter"));
    // The window decides when the program ends: once it is unloaded and the port is closed.
    app.setQuitOnLastWindowClosed(false);
    adc::DemoBoard demoBoard;
    adc::MainWindow window;
    window.Picture1->setSweep(commandLine.sweep());
    adc::RunSession &session = window.session();
    if (!commandLine.configure(session, demoBoard)) {
        return 1;
    }
    QObject::connect(&window, &adc::MainWindow::unloaded, &app, [&demoBoard] {
        demoBoard.stop();
        QCoreApplication::exit(0);
    });
    // Ctrl+C, SIGTERM and SIGHUP end the program as EXIT does: port closed, lock released.
    adc::ExitSignals exitSignals;
    QObject::connect(&exitSignals, &adc::ExitSignals::received, &window, &QWidget::close);
    if (recorder) {
        session.startRecording(std::move(recorder));
    }
    // --scope: the history takes every record of the window's runs.
    std::unique_ptr<adc::HistoryStore> history;
    std::unique_ptr<adc::ScopeWindow> scope;
    std::unique_ptr<adc::LiveFeed> feed;
    if (commandLine.scope()) {
        history = std::make_unique<adc::HistoryStore>(commandLine.historyRecords());
        scope = std::make_unique<adc::ScopeWindow>();
        feed = std::make_unique<adc::LiveFeed>(*history,
                                               [view = scope->view()] { view->historyChanged(); });
        session.addObserver(feed.get());
        scope->showLive(history.get());
    }
    window.show();
    if (scope) {
        // Beside the window where the screen has room, else below it.
        const QRect free = window.screen()->availableGeometry();
        const QRect main = window.frameGeometry();
        if (free.right() - main.right() >= 640) {
            scope->setGeometry(main.right() + 8, main.top(),
                               std::min(960, free.right() - main.right() - 8),
                               std::min(600, free.height()));
        } else {
            scope->setGeometry(main.left(), main.bottom() + 8, std::min(960, free.width()),
                               std::min(600, free.bottom() - main.bottom() - 8));
        }
        scope->show();
    }
    const int status = app.exec();
    if (feed) {
        session.removeObserver(feed.get());
    }
    return status;
}

/// `--view FILE.csv`: the scope alone on a recording; no port, no main window.
int runViewer(int argc, char *argv[], const adc::CommandLine &commandLine)
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/adconverter.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("adconverter"));
    adc::ScopeWindow scope;
    adc::ExitSignals exitSignals;
    QObject::connect(&exitSignals, &adc::ExitSignals::received, &scope, &QWidget::close);
    scope.show();
    scope.open(commandLine.viewPath(), commandLine.historyRecords());
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line is read before the window system is touched, so that --help,
    // --version and --list-ports work without a display. Its bytes are kept: a device name
    // need not be UTF-8.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << adc::DeviceName::fromBytes(argv[i]);
    }
    const adc::CommandLine commandLine = adc::CommandLine::parse(arguments);
    if (const std::optional<int> status = answerWithoutWindow(commandLine)) {
        return *status;
    }
    if (commandLine.headless()) {
        // No window and no display: the core, the port and the recording only.
        QCoreApplication app(argc, argv);
        adc::HeadlessLogger logger(commandLine);
        return logger.exec();
    }
    if (!commandLine.viewPath().isEmpty()) {
        return haveDesktop() ? runViewer(argc, argv, commandLine) : 1;
    }
    // A recording file that cannot be had ends the program before the window opens.
    std::unique_ptr<adc::CsvRecorder> recorder;
    const QString recordPath = commandLine.recordPath();
    if (!recordPath.isEmpty()) {
        recorder = std::make_unique<adc::CsvRecorder>();
        if (!recorder->open(recordPath.toStdString(), commandLine.append())) {
            std::fprintf(stderr, "adconverter: %s\n", recorder->errorText().c_str());
            return 2;
        }
    }
    if (!haveDesktop()) {
        return 1;
    }
    return runWindow(argc, argv, commandLine, std::move(recorder));
}
