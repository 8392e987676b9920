#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace adc {

/// What the system says about its serial devices, for the hints of the port's messages: the
/// devices there are, who holds a device's lock and whether this process may read it.
///
/// The device list is slow to make (Qt opens every on-board port to see whether it is real), so
/// it is gathered in the background, kept, and gathered afresh when asked for once it is more
/// than kRefreshSeconds old. Nothing here ever waits for it.
class PortDiagnosis {
public:
    static constexpr int kRefreshSeconds = 3;

    /// Who holds a device's lock file.
    struct LockHolder {
        QString lockFile;
        qint64 pid = 0;
        /// The program's name, as the lock file or the system gives it; may be empty.
        QString program;
        /// Whether the process no longer runs on this computer (the lock was left behind).
        bool gone = false;
    };

    /// Starts gathering the device list in the background unless it is being gathered already.
    static void refresh();
    /// Lets devices() wait for a gathering under way when there is no list yet: for a program
    /// without a window, whose first message would otherwise come without one.
    static void setMayWait(bool on);
    /// The serial devices as last gathered, sorted; none before the first gathering is done.
    /// Starts a fresh gathering when the list is old.
    static std::optional<QStringList> devices();
    /// The holder of the lock file Qt Serial Port keeps for `realDevice` ("/dev/ttyUSB0"), if
    /// there is one: the same folders and name as Qt's own.
    static std::optional<LockHolder> lockHolder(const QString &realDevice);
    /// Whether this process may open the device file `path` (bytes) for reading, with its
    /// effective rights as open() uses them.
    static bool mayRead(const QByteArray &path);
};

} // namespace adc
