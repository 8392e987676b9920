#pragma once

#include <string>
#include <string_view>

namespace adc {

/// The logger's state as JSON, retained on `TOPIC/status`:
///
///     {"state":"online","port":"/dev/ttyUSB0","mode":"INT"}  while connected ("mode":null
///                                                            before the first Start)
///     {"state":"offline","port":"/dev/ttyUSB0"}             at the end, and as the last will
class StatusJson {
public:
    /// Online, reading `port` in `mode` (the recording's mode name; empty: none yet).
    static std::string online(std::string_view port, std::string_view mode);
    static std::string offline(std::string_view port);
};

} // namespace adc
