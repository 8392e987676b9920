#include "PublishTarget.h"
#include "MqttText.h"

#include <charconv>

namespace adc {

namespace {

constexpr std::string_view kPlainScheme = "mqtt://";
constexpr std::string_view kTlsScheme = "mqtts://";

/// `url` with the password, if it may hold one, written "***": whatever lies between the
/// first colon and the first @ after the scheme (a password may hold a slash).
std::string withoutPassword(std::string_view url)
{
    const std::size_t scheme = url.find("://");
    const std::size_t start = scheme == url.npos ? 0 : scheme + 3;
    const std::size_t at = url.find('@', start);
    const std::size_t colon = url.find(':', start);
    if (at == url.npos || colon > at) {
        return std::string(url);
    }
    return std::string(url.substr(0, colon + 1)) + "***" + std::string(url.substr(at));
}

std::optional<PublishTarget> refuse(std::string &error, std::string_view url, std::string_view why)
{
    error = "The option --publish needs mqtt://[USER@]HOST[:PORT]/TOPIC or mqtts://...; '" +
            MqttText::shown(withoutPassword(url)) + "' " + std::string(why) + ".";
    return std::nullopt;
}

/// What is wrong with `topic`; empty when a broker takes it.
std::string readTopic(PublishTarget &target, std::string_view topic)
{
    constexpr std::size_t kLongestTopic = MqttText::kLongest - PublishTarget::kRecordsLevel.size();
    target.topic = std::string(topic);
    if (topic.find_first_of("+#") != topic.npos) {
        return "has a wildcard (+ or #) in its topic";
    }
    if (topic.starts_with('$')) {
        return "has a topic that starts with $, which brokers keep for their own";
    }
    if (topic.size() > kLongestTopic) {
        return "has a topic longer than " + std::to_string(kLongestTopic) + " bytes";
    }
    if (MqttText::hasControl(topic)) {
        return "has a control character in its topic";
    }
    if (!MqttText::isValid(topic)) {
        return "has a topic that is not UTF-8 text";
    }
    return {};
}

/// What is wrong with the port's digits; empty when they are a port number or none.
std::string readPort(PublishTarget &target, std::string_view port)
{
    if (port.empty()) {
        return {};
    }
    const auto [end, failure] =
        std::from_chars(port.data(), port.data() + port.size(), target.port);
    if (failure != std::errc() || end != port.data() + port.size() || target.port < 1 ||
        target.port > 65535) {
        return "has a port that is not a number from 1 to 65535";
    }
    return {};
}

/// What is wrong with HOST[:PORT]; empty when it names a host.
std::string readHost(PublishTarget &target, std::string_view authority)
{
    std::string_view port;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == authority.npos) {
            return "has no ] after its IPv6 address";
        }
        target.host = std::string(authority.substr(1, close - 1));
        authority.remove_prefix(close + 1);
        if (!authority.empty() && !authority.starts_with(':')) {
            return "has something after its IPv6 address";
        }
        port = authority.empty() ? authority : authority.substr(1);
    } else {
        const std::size_t colon = authority.find(':');
        target.host = std::string(authority.substr(0, colon));
        port = colon == authority.npos ? std::string_view() : authority.substr(colon + 1);
        if (colon != authority.npos && port.empty()) {
            return "has no port number after its colon";
        }
    }
    if (target.host.empty()) {
        return "names no host";
    }
    if (MqttText::hasControl(target.host) || !MqttText::isValid(target.host)) {
        return "has a host name that is not UTF-8 text";
    }
    return readPort(target, port);
}

/// What is wrong with [USER@]HOST[:PORT]; empty when it names a host.
std::string readAuthority(PublishTarget &target, std::string_view authority)
{
    if (const std::size_t at = authority.rfind('@'); at != authority.npos) {
        target.user = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
        if (target.user.find(':') != std::string::npos) {
            return "holds a password: give it with --publish-password-file or "
                   "ADC_PUBLISH_PASSWORD instead";
        }
        if (target.user.empty()) {
            return "has an empty user name";
        }
        if (!MqttText::isValid(target.user)) {
            return "has a user name that is not UTF-8 text of at most 65535 bytes";
        }
    }
    return readHost(target, authority);
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
    std::string why = readAuthority(target, rest.substr(0, slash));
    if (why.empty()) {
        why = readTopic(target, rest.substr(slash + 1));
    }
    if (!why.empty()) {
        return refuse(error, url, why);
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
