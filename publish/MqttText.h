#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace adc {

/// What MQTT takes as text, and user text shown in a message.
class MqttText {
public:
    /// The longest string MQTT carries (a topic, a user name, a password): its length field has
    /// 16 bits.
    static constexpr std::size_t kLongest = 65535;
    /// Longest text shown(): the middle of a longer one is left out.
    static constexpr std::size_t kShownLength = 100;

    /// Whether `text` is UTF-8 that MQTT takes in a topic or a user name: no control characters
    /// (C0, DEL or C1) and no non-characters.
    static bool isValid(std::string_view text);
    /// Whether `text` holds a C0 control character or DEL.
    static bool hasControl(std::string_view text);
    /// `text` for a message on one line: control characters, and the bytes from 0x80 up of text
    /// that is not UTF-8, written "\xNN"; the middle of a text longer than kShownLength left out
    /// ("...").
    static std::string shown(std::string_view text);
};

} // namespace adc
