#include "CommandLine.h"
#include "DemoBoard.h"
#include "MainWindow.h"
#include "PortList.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The command line is read before the window system is touched, so that --help,
    // --version and --list-ports work without a display.
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
    case adc::CommandLine::Action::ListPorts:
        std::fputs(qPrintable(adc::PortList::text(adc::PortList::available())), stdout);
        return commandLine.exitStatus();
    case adc::CommandLine::Action::Fail:
        std::fprintf(stderr, "adconverter: %s\n\n%s", qPrintable(commandLine.errorText()),
                     qPrintable(adc::CommandLine::usage()));
        return commandLine.exitStatus();
    case adc::CommandLine::Action::Run:
        break;
    }

    QApplication app(argc, argv);
    // The icon of the menu entry (packaging/adconverter.svg, built into the program as a PNG),
    // and the entry's name, by which desktops that ask for it find that icon too.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/adconverter.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("adconverter"));
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
    window.Picture1->setSweep(commandLine.sweep());
    QObject::connect(&window, &adc::MainWindow::unloaded, &app, [&demoBoard] {
        demoBoard.stop();
        QCoreApplication::exit(0);
    });
    window.show();
    return app.exec();
}
