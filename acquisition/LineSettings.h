#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

    /// The speed `text` gives, by the one rule of every place a speed is typed (the command
    /// lines, the start dialog, the menu): a whole number and nothing else (no sign, blanks or
    /// fraction) from kMinBaud to kMaxBaud. None for anything else.
    static std::optional<std::int32_t> readBaud(std::string_view text)
    {
        std::int64_t baud = 0;
        const char *end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, baud);
        if (error != std::errc() || stop != end || text.starts_with('-') || !validBaud(baud)) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(baud);
    }

    /// The line as people write it, e.g. "9600,N,8,1".
    std::string text() const { return std::to_string(baud) + ",N,8,1"; }

    bool operator==(const LineSettings &) const = default;
};

} // namespace adc
