#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace adc {

/// What an acquisition run needs of the serial port: the start sequence, the open flag, the
/// number of waiting characters and the reading of them in blocks.
///
/// Every setter returns false when the port refuses the step; errorText() then tells why.
/// setCommPort(), setRThreshold() and setInputLen() only keep their place in the start sequence:
/// there is one port, the run is told whenever characters arrive, and it reads them in blocks of
/// its own size. They refuse values out of range and change nothing else.
class SerialControl {
public:
    virtual ~SerialControl() = default;

    /// Selects the port by number; the board's port 1 is the only one.
    virtual bool setCommPort(int port) = 0;
    /// Line speed and framing, as "baud,parity,data bits,stop bits"; the board's line is
    /// "9600,N,8,1", and only the speed may differ.
    virtual bool setSettings(std::string_view settings) = 0;
    /// Opens (true) or closes (false) the port.
    virtual bool setPortOpen(bool open) = 0;
    /// Whether the port is open.
    virtual bool portOpen() const = 0;
    /// Asserts (true) or drops the RTS line while the port is open.
    virtual bool setRtsEnable(bool on) = 0;
    /// Receive notification threshold (0); keeps its place only, see above.
    virtual bool setRThreshold(int threshold) = 0;
    /// Writing 0 discards everything received so far.
    virtual bool setInBufferCount(int count) = 0;
    /// Characters per read (1); keeps its place only: input() takes its own `max`.
    virtual bool setInputLen(int length) = 0;

    /// Number of received characters waiting to be read.
    virtual std::size_t inBufferCount() = 0;
    /// Moves up to `max` waiting characters, oldest first, into `buffer`; returns how many.
    virtual std::size_t input(char *buffer, std::size_t max) = 0;

    /// A plain text for the user about the last failure: the device, the reason and a hint.
    virtual std::string errorText() const = 0;
};

} // namespace adc
