#pragma once

namespace adc {

/// The device that stands for serial port 1 unless the user names another.
inline constexpr char kDefaultPort1Device[] = "/dev/ttyS0";

} // namespace adc
