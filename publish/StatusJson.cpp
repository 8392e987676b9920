#include "StatusJson.h"

namespace adc {

namespace {

/// `text` as a JSON string, quotes included.
std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += {'\\', c};
        } else if (byte < 0x20) {
            constexpr char kDigits[] = "0123456789abcdef";
            out += {'\\', 'u', '0', '0', kDigits[byte >> 4], kDigits[byte & 0xF]};
        } else {
            out += c;
        }
    }
    return out + '"';
}

} // namespace

std::string StatusJson::online(std::string_view port, std::string_view mode)
{
    return R"({"state":"online","port":)" + jsonString(port) + R"(,"mode":)" +
           (mode.empty() ? std::string("null") : jsonString(mode)) + "}";
}

std::string StatusJson::offline(std::string_view port)
{
    return R"({"state":"offline","port":)" + jsonString(port) + "}";
}

} // namespace adc
