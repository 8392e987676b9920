#pragma once

#include <string>
#include <string_view>

namespace adc::test {

/// A pseudo-terminal pair that stands in for the board's serial line in tests.
///
/// The program opens slavePath() as its port; the test plays the board on the master side. The
/// object keeps a slave descriptor of its own so that the line does not hang up while the program
/// opens and closes the port. A pseudo-terminal has no modem lines (no RTS, no DTR) and always
/// carries 8 data bits without parity; the speed and the stop bits set on it are kept.
class PseudoTerminal {
public:
    /// The line settings as they stand in the terminal's termios.
    struct LineSettings {
        int baud;     ///< any speed, standard or not; 0 when the settings cannot be read
        char parity;  ///< 'N', 'E', 'O', 'M' or 'S'
        int dataBits; ///< 5 to 8
        int stopBits; ///< 1 or 2
    };

    /// Opens the pair and puts the slave side in raw mode; check isOpen().
    PseudoTerminal();
    /// Closes both sides.
    ~PseudoTerminal();

    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    /// Whether the master side (the board) is there.
    bool isOpen() const { return m_master >= 0; }
    /// The device the program opens as its port, e.g. "/dev/pts/5".
    std::string slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    /// This object's own descriptor on the slave side, or -1 after closeSlave().
    int slaveFd() const { return m_slave; }

    /// Writes every byte into the master, waiting while the line is full; false on error.
    bool write(std::string_view bytes);
    /// What the program sent to the board: waits up to `timeoutMs` for the first bytes, then
    /// collects until the line has been quiet for a moment or the time is up.
    std::string readAvailable(int timeoutMs);
    /// Bytes that have reached the slave side and wait there, not yet taken by any reader.
    int waitingAtSlave() const;

    /// The device vanishes, as when a USB cable is pulled: the slave side hangs up.
    void closeMaster();
    /// Drops this object's own slave descriptor.
    void closeSlave();

    /// The termios the program set on the line, read back.
    LineSettings lineSettings() const;

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

} // namespace adc::test
