#pragma once

#include "ChannelUnits.h"
#include "DeviceName.h"
#include "HistoryStore.h"
#include "LineSettings.h"
#include "ModeTable.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace adc {

/// What a session starts with: port 1's device and the line, the run to start, the recording,
/// waiting for a lost device, and what the front ends show. The command line fills it in (see
/// CommandLine::settings()); the start dialog and the window's menu change it, and ChoiceStore
/// keeps the user's choices for the next start.
struct StartSettings {
    /// The speeds offered in the dialog and the menu; any other can be given too.
    static constexpr qint32 kCommonSpeeds[] = {300,   1200,  2400,   4800,   9600,   19200,
                                               38400, 57600, 115200, 230400, 460800, 921600};

    /// Port 1's device, as DeviceName keeps it; not used while `simulated` is set.
    QString device = QString::fromLatin1(kDefaultPort1Device);
    /// Port 1 is the simulated board.
    bool simulated = false;
    qint32 baud = kDefaultBaud;
    /// The run started at once (the headless logger's mode); none: the window waits for a
    /// Start button. For the lines of other boards the run is modeOf(format).
    std::optional<Mode> mode;
    /// What the lines on the port are: the board's records or the lines of another board.
    Format format = Format::Board;
    /// How many values each CSV line carries; 0: as many as the first line of numbers.
    int channels = 0;
    /// The CSV file recorded to from the start, as DeviceName keeps it ("-": standard output);
    /// empty: none.
    QString recordPath;
    /// Whether the rows go after those of an existing file; the dialog always adds to one.
    bool append = false;
    /// Where the file dialog for a recording opens.
    QString recordFolder;
    bool sweep = false;
    bool reconnect = false;
    /// The scope opens beside the window.
    bool scope = false;
    /// The records the scope keeps.
    std::int64_t historyRecords = HistoryStore::kDefaultCapacity;
    /// Channel names and units given on the command line (--channel), in their order; they go
    /// over what the scope keeps and are never kept themselves.
    std::vector<ChannelUnits::Setting> channelUnits;
    /// The headless logger ends after this many records, or seconds; 0: no limit.
    std::int64_t countLimit = 0;
    double durationSeconds = 0;

    bool operator==(const StartSettings &) const = default;

    LineSettings line() const { return LineSettings{baud}; }
};

} // namespace adc
