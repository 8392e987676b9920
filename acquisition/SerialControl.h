#pragma once

#include "LineSettings.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace adc {

/// What an acquisition run needs of the serial port: the start sequence, the open flag, the
/// number of waiting characters and the reading of them in blocks, and the writing of what the
/// user sends to the board.
///
/// Every setter returns false when the port refuses the step; errorText() then tells why.
class SerialControl {
public:
    virtual ~SerialControl() = default;

    /// The line's speed; the framing is always N,8,1.
    virtual bool setLineSettings(const LineSettings &settings) = 0;
    /// Opens (true) or closes (false) the port.
    virtual bool setPortOpen(bool open) = 0;
    /// Whether the port is open.
    virtual bool portOpen() const = 0;
    /// Asserts (true) or drops the RTS line while the port is open.
    virtual bool setRtsEnable(bool on) = 0;
    /// Writing 0 discards everything received so far.
    virtual bool setInBufferCount(int count) = 0;

    /// Number of received characters waiting to be read.
    virtual std::size_t inBufferCount() = 0;
    /// Moves up to `max` waiting characters, oldest first, into `buffer`; returns how many.
    virtual std::size_t input(char *buffer, std::size_t max) = 0;

    /// Queues `bytes` to be written to the open port without waiting for them to go out.
    /// Returns false when they cannot be; a port that cannot write at all refuses always.
    virtual bool write(std::string_view /*bytes*/) { return false; }

    /// A plain text for the user about the last failure: the device, the reason and a hint.
    virtual std::string errorText() const = 0;
};

} // namespace adc
