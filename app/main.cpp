#include "ChoiceStore.h"
#include "CommandLine.h"
#include "DemoBoard.h"
#include "DesktopCheck.h"
#include "DeviceName.h"
#include "ExitSignals.h"
#include "HeadlessLogger.h"
#include "LiveFeed.h"
#include "MainWindow.h"
#include "PortList.h"
#include "PortScanner.h"
#include "Publishing.h"
#include "ScopeWindow.h"
#include "StartDialog.h"
#include "WindowMenu.h"
#include "WindowRecording.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>

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

/// The scope beside the main window (--scope, the dialog or the menu), fed with every record of
/// the window's runs from when it opens.
class LiveScope {
public:
    LiveScope(adc::MainWindow &window, qint64 records) : m_window(window), m_records(records) {}
    ~LiveScope()
    {
        if (m_feed) {
            m_window.session().removeObserver(m_feed.get());
        }
    }

    /// Shows the scope, made the first time beside the window where the screen has room, else
    /// below it.
    void open()
    {
        if (!m_scope) {
            m_history = std::make_unique<adc::HistoryStore>(m_records);
            m_scope = std::make_unique<adc::ScopeWindow>();
            m_feed = std::make_unique<adc::LiveFeed>(
                *m_history, [view = m_scope->view()] { view->historyChanged(); });
            m_window.session().addObserver(m_feed.get());
            m_scope->showLive(m_history.get());
            const QRect free = m_window.screen()->availableGeometry();
            const QRect main = m_window.frameGeometry();
            if (free.right() - main.right() >= 640) {
                m_scope->setGeometry(main.right() + 8, main.top(),
                                     std::min(960, free.right() - main.right() - 8),
                                     std::min(600, free.height()));
            } else {
                m_scope->setGeometry(main.left(), main.bottom() + 8, std::min(960, free.width()),
                                     std::min(600, free.bottom() - main.bottom() - 8));
            }
        }
        m_scope->show();
        m_scope->raise();
    }

private:
    adc::MainWindow &m_window;
    qint64 m_records;
    std::unique_ptr<adc::HistoryStore> m_history;
    std::unique_ptr<adc::ScopeWindow> m_scope;
    std::unique_ptr<adc::LiveFeed> m_feed;
};

/// The start dialog until its choices can be had, the recording's file included; none when
/// it is cancelled. The choices are kept in `settings` as the dialog's defaults next time.
std::optional<adc::StartChoices> chooseStart(const adc::CommandLine &commandLine,
                                             QSettings &settings, adc::PortScanner &scanner,
                                             adc::ExitSignals &exitSignals,
                                             std::unique_ptr<adc::CsvRecorder> &recorder)
{
    adc::StartDialog dialog(adc::ChoiceStore::load(settings).overriddenBy(commandLine), scanner);
    QObject::connect(&exitSignals, &adc::ExitSignals::received, &dialog, &QDialog::reject);
    while (dialog.exec() == QDialog::Accepted) {
        const adc::StartChoices choices = dialog.choices();
        adc::ChoiceStore::save(settings, choices);
        if (choices.recordPath.isEmpty()) {
            return choices;
        }
        recorder = std::make_unique<adc::CsvRecorder>();
        if (recorder->open(QFile::encodeName(choices.recordPath).toStdString(), true)) {
            return choices;
        }
        dialog.warn(QString::fromStdString(recorder->errorText()));
        recorder.reset();
    }
    return std::nullopt;
}

/// Keeps every choice made in `menu` in `settings`, opened at the first one.
void rememberMenuChoices(adc::WindowMenu &menu, std::unique_ptr<QSettings> &settings)
{
    QObject::connect(&menu, &adc::WindowMenu::chosen, &menu,
                     [&settings](const adc::StartChoices &chosen) {
                         if (!settings) {
                             settings = adc::ChoiceStore::openUserSettings();
                         }
                         adc::ChoiceStore::save(*settings, chosen);
                     });
}

/// The main window until it is unloaded, recording with `recorder` when there is one; with
/// --choose the start dialog first.
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
    // Ctrl+C, SIGTERM and SIGHUP end the program as EXIT does: port closed, lock released.
    adc::ExitSignals exitSignals;
    adc::PortScanner scanner;
    // Settings are read and written only once the user chooses something.
    std::unique_ptr<QSettings> settings;
    adc::StartChoices choices = adc::StartChoices::of(commandLine);
    if (commandLine.choose()) {
        settings = adc::ChoiceStore::openUserSettings();
        const std::optional<adc::StartChoices> chosen =
            chooseStart(commandLine, *settings, scanner, exitSignals, recorder);
        if (!chosen) {
            return 0;
        }
        choices = *chosen;
    }
    adc::DemoBoard demoBoard;
    demoBoard.setBaud(choices.baud);
    const QString port1Device = demoBoard.port1DeviceFor(choices.simulated, choices.device);
    if (port1Device.isEmpty()) {
        if (recorder) {
            recorder->discard(); // a start that fails leaves no recording behind
        }
        // Started from the desktop's menu, nobody reads standard error.
        if (commandLine.choose()) {
            QMessageBox::critical(nullptr, QStringLiteral("AD Converter"), demoBoard.errorText());
        }
        return 1;
    }
    adc::MainWindow window(port1Device);
    adc::WindowRecording recording(window);
    adc::WindowMenu menu(window, recording, scanner, choices);
    menu.setSimulatedDevice(demoBoard.port1Device());
    QObject::connect(&demoBoard, &adc::DemoBoard::restarted, &window,
                     [&window, &menu](const QString &device) {
                         menu.setSimulatedDevice(device);
                         if (menu.choices().simulated) {
                             window.session().setDevice(device);
                         }
                     });
    QObject::connect(&window, &adc::MainWindow::unloaded, &app, [&demoBoard] {
        demoBoard.stop();
        QCoreApplication::exit(0);
    });
    QObject::connect(&exitSignals, &adc::ExitSignals::received, &window, &QWidget::close);
    rememberMenuChoices(menu, settings);
    if (recorder) {
        window.session().startRecording(std::move(recorder));
    }
    recording.setShownInTitle(commandLine.choose());
    LiveScope scope(window, commandLine.historyRecords());
    QObject::connect(&menu, &adc::WindowMenu::scopeWanted, &window, [&scope] { scope.open(); });
    std::unique_ptr<adc::Publishing> publishing;
    if (std::optional<adc::PublishSettings> settings = commandLine.publishSettings()) {
        settings->device = port1Device.toStdString();
        QString error;
        publishing = adc::Publishing::create(*settings, error);
        if (!publishing || !publishing->start(error)) {
            std::fprintf(stderr, "adconverter: %s\n", qPrintable(error));
            return 2;
        }
        adc::Publishing *publisher = publishing.get();
        window.session().addObserver(&publisher->publisher());
        window.addLineNote([publisher] { return publisher->stateText(); });
        // A refused password or certificate is told once; the runs go on.
        QObject::connect(publisher, &adc::Publishing::failed, &window,
                         [&window](const QString &message) {
                             auto *box = new QMessageBox(QMessageBox::Warning, window.windowTitle(),
                                                         message, QMessageBox::Ok, &window);
                             box->setAttribute(Qt::WA_DeleteOnClose);
                             box->open();
                         });
        QObject::connect(&window, &adc::MainWindow::unloaded, publisher, &adc::Publishing::stop);
    }
    window.show();
    if (choices.scope) {
        scope.open();
    }
    menu.startChosenRun();
    const int status = app.exec();
    if (const QString notice = window.session().recordingNotice(); !notice.isEmpty()) {
        std::fprintf(stderr, "adconverter: %s\n", qPrintable(notice));
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
    // Without a window system nothing is started, and no recording is made.
    if (!haveDesktop()) {
        return 1;
    }
    // A recording file that cannot be had ends the program before the window opens.
    // (With --choose the dialog offers the file and opens it.)
    std::unique_ptr<adc::CsvRecorder> recorder;
    const QString recordPath = commandLine.recordPath();
    if (!recordPath.isEmpty() && !commandLine.choose()) {
        recorder = std::make_unique<adc::CsvRecorder>();
        if (!recorder->open(recordPath.toStdString(), commandLine.append())) {
            std::fprintf(stderr, "adconverter: %s\n", recorder->errorText().c_str());
            return 2;
        }
        if (!recorder->noticeText().empty()) {
            std::fprintf(stderr, "adconverter: %s\n", recorder->noticeText().c_str());
        }
    }
    return runWindow(argc, argv, commandLine, std::move(recorder));
}
