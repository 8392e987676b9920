#include "PublishTarget.h"

#include <charconv>

namespace adc {

namespace {

constexpr std::string_view kPlainScheme = "mqtt://";
constexpr std::string_view kTlsScheme = "mqtts://";

std::optional<PublishTarget> refuse(std::string &error, std::string_view url, std::string_view why)
{
    error = "The option --publish needs mqtt://[USER@]HOST[:PORT]/TOPIC or mqtts://...; '" +
            std::string(url) + "' " + std::string(why) + ".";
    return std::nullopt;
}

} // namespace

std::optional<PublishTarget> PublishTarget::parse(std::string_view url, std::string &error)
{
    PublishTarget target;
    std::string_view rest = url;
    if (rest.starts_with(kTlsScheme)) {
        target.tls = true;
        target.port = kTlsPort;
        rest.remove_prefix(kTlsScheme.size());
    } else if (rest.starts_with(kPlainScheme)) {
        rest.remove_prefix(kPlainScheme.size());
    } else {
        return refuse(error, url, "has neither");
    }
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || slash + 1 == rest.size()) {
        return refuse(error, url, "names no topic");
    }
    target.topic = std::string(rest.substr(slash + 1));
    if (target.topic.find_first_of("+#") != std::string::npos) {
        return refuse(error, url, "has a wildcard (+ or #) in its topic");
    }
    std::string_view authority = rest.substr(0, slash);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        target.user = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
        if (target.user.find(':') != std::string::npos) {
            return refuse(error, url,
                          "holds a password: give it with --publish-password-file or "
                          "ADC_PUBLISH_PASSWORD instead");
        }
        if (target.user.empty()) {
            return refuse(error, url, "has an empty user name");
        }
    }
    std::string_view port;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return refuse(error, url, "has no ] after its IPv6 address");
        }
        target.host = std::string(authority.substr(1, close - 1));
        authority.remove_prefix(close + 1);
        if (!authority.empty() && !authority.starts_with(':')) {
            return refuse(error, url, "has something after its IPv6 address");
        }
        port = authority.empty() ? authority : authority.substr(1);
    } else {
        const std::size_t colon = authority.find(':');
        target.host = std::string(authority.substr(0, colon));
        port = colon == std::string_view::npos ? std::string_view() : authority.substr(colon + 1);
        if (colon != std::string_view::npos && port.empty()) {
            return refuse(error, url, "has no port number after its colon");
        }
    }
    if (target.host.empty()) {
        return refuse(error, url, "names no host");
    }
    if (!port.empty()) {
        const auto [end, failure] =
            std::from_chars(port.data(), port.data() + port.size(), target.port);
        if (failure != std::errc() || end != port.data() + port.size() || target.port < 1 ||
            target.port > 65535) {
            return refuse(error, url, "has a port that is not a number from 1 to 65535");
        }
    }
    return target;
}

std::string PublishTarget::text() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(tls ? kTlsScheme : kPlainScheme) + (v6 ? "[" + host + "]" : host) + ":" +
           std::to_string(port) + "/" + topic;
}

} // namespace adc
