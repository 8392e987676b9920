#include "CommandLine.h"
#include "DemoBoard.h"
#include "HeadlessLogger.h"
#include "MainWindow.h"
#include "RecordingSession.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    // The command line is read before the window system is touched, so that --help and
    // --version work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const adc::CommandLine commandLine = adc::CommandLine::parse(arguments);
    switch (commandLine.action()) {
    case adc::CommandLine::Action::ShowHelp:
        std::fputs(qPrintable(adc::CommandLine::usage()), stdout);
        return commandLine.exitStatus();
    case adc::CommandLine::Action::ShowVersion:
        std::printf("%s\n", qPrintable(adc::CommandLine::versionText()));
        return commandLine.exitStatus();
    case adc::CommandLine::Action::Fail:
        std::fprintf(stderr, "adconverter: %s\n\n%s", qPrintable(commandLine.errorText()),
                     qPrintable(adc::CommandLine::usage()));
        return commandLine.exitStatus();
    case adc::CommandLine::Action::Run:
        break;
    }
    if (commandLine.headless()) {
        // No window and no display: the core, the port and the recording only.
        QCoreApplication app(argc, argv);
        adc::HeadlessLogger logger(commandLine);
        return logger.exec();
    }
    // A recording file that cannot be had ends the program before the window opens.
    adc::CsvRecorder recorder;
    const QString recordPath = commandLine.recordPath();
    if (!recordPath.isEmpty() && !recorder.open(recordPath.toStdString(), commandLine.append())) {
        std::fprintf(stderr, "adconverter: %s\n", recorder.errorText().c_str());
        return 2;
    }

    QApplication app(argc, argv);
    // The window decides when the program ends: once it is unloaded and the port is closed.
    app.setQuitOnLastWindowClosed(false);
    adc::DemoBoard demoBoard;
    QString port1Device = commandLine.port1Device();
    if (commandLine.demo()) {
        if (!demoBoard.start()) {
            std::fprintf(stderr, "adconverter: %s\n", qPrintable(demoBoard.errorText()));
            return 1;
        }
        port1Device = demoBoard.port1Device();
    }
    adc::MainWindow window(port1Device);
    QObject::connect(&window, &adc::MainWindow::unloaded, &app, [&demoBoard] {
        demoBoard.stop();
        QCoreApplication::exit(0);
    });
    std::unique_ptr<adc::RecordingSession> recording;
    if (recorder.recording()) {
        recording = std::make_unique<adc::RecordingSession>(window, recorder);
    }
    window.show();
    return app.exec();
}
