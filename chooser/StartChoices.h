#pragma once

#include "DeviceName.h"
#include "LineSettings.h"
#include "ModeTable.h"

#include <QString>

#include <optional>

namespace adc {

class CommandLine;

/// What the window starts with: port 1's device, the line speed, the run to start and the
/// window's options. The start dialog and the window's menu fill it in; options given on the
/// command line take the place of what was remembered.
struct StartChoices {
    /// The speeds offered in the dialog and the menu; any other can be given too.
    static constexpr qint32 kCommonSpeeds[] = {300,   1200,  2400,   4800,   9600,   19200,
                                               38400, 57600, 115200, 230400, 460800, 921600};

    /// Port 1's device; not used while `simulated` is set.
    QString device = QString::fromLatin1(kDefaultPort1Device);
    /// Port 1 is the simulated board.
    bool simulated = false;
    qint32 baud = kDefaultBaud;
    /// The run started as soon as the window opens; none: the window waits for a Start button.
    std::optional<Mode> mode;
    /// The CSV file recorded to from the start (rows after its own when it exists); empty: none.
    QString recordPath;
    /// Where the file dialog for a recording opens.
    QString recordFolder;
    bool sweep = false;
    bool reconnect = false;
    /// The scope opens beside the window.
    bool scope = false;

    bool operator==(const StartChoices &) const = default;

    /// The choices of `commandLine` alone, as the program has them without the dialog.
    static StartChoices of(const CommandLine &commandLine);
    /// These choices with every option given on `commandLine` in place of its own.
    StartChoices overriddenBy(const CommandLine &commandLine) const;
};

} // namespace adc
