#include "MqttText.h"

#include <mosquitto.h>

#include <algorithm>

namespace adc {

namespace {

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

/// `text` with its control characters, and its bytes from 0x80 up unless it is UTF-8, written
/// "\xNN".
std::string escaped(std::string_view text)
{
    std::string plain(text);
    std::ranges::replace_if(
        plain, [](char c) { return isControl(static_cast<unsigned char>(c)); }, ' ');
    const bool utf8 = MqttText::isValid(plain);
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isControl(byte) || (byte >= 0x80 && !utf8)) {
            constexpr char kDigits[] = "0123456789abcdef";
            out += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
        } else {
            out += c;
        }
    }
    return out;
}

/// Whether a character begins at `at` in `text`: not at a continuation byte (10xxxxxx).
bool beginsCharacter(std::string_view text, std::size_t at)
{
    return at == 0 || at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

} // namespace

bool MqttText::isValid(std::string_view text)
{
    return text.size() <= kLongest &&
           mosquitto_validate_utf8(text.data(), static_cast<int>(text.size())) == MOSQ_ERR_SUCCESS;
}

bool MqttText::hasControl(std::string_view text)
{
    return std::ranges::any_of(text,
                               [](char c) { return isControl(static_cast<unsigned char>(c)); });
}

std::string MqttText::shown(std::string_view text)
{
    if (text.size() <= kShownLength) {
        return escaped(text);
    }
    // Its start and its end, each cut where a character begins (a UTF-8 character has at most
    // three continuation bytes).
    std::size_t head = (kShownLength - 3) / 2;
    std::size_t tail = text.size() - head;
    for (int i = 0; i < 3 && !beginsCharacter(text, head); ++i) {
        --head;
    }
    for (int i = 0; i < 3 && !beginsCharacter(text, tail); ++i) {
        ++tail;
    }
    return escaped(text.substr(0, head)) + "..." + escaped(text.substr(tail));
}

} // namespace adc
