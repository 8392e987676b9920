#pragma once

#include <cstdint>
#include <string>

namespace adc {

/// The board's usual line speed.
inline constexpr std::int32_t kDefaultBaud = 9600;
/// The speeds a line may be given, by the program and by the board simulator alike: up to the
/// 12 Mbaud of the fastest USB-serial adapters.
inline constexpr std::int32_t kMinBaud = 1;
inline constexpr std::int32_t kMaxBaud = 12'000'000;

/// How the serial line is set up. The framing is always no parity, 8 data bits and 1 stop bit
/// with RTS on; only the speed differs between boards.
struct LineSettings {
    std::int32_t baud = kDefaultBaud;

    /// Whether `baud` is a speed a line may be given.
    static constexpr bool validBaud(std::int64_t baud)
    {
        return baud >= kMinBaud && baud <= kMaxBaud;
    }

    /// The line as people write it, e.g. "9600,N,8,1".
    std::string text() const { return std::to_string(baud) + ",N,8,1"; }

    bool operator==(const LineSettings &) const = default;
};

} // namespace adc
