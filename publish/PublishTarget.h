#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace adc {

/// Where records are published: a broker and a topic, as given by
/// `mqtt://[USER@]HOST[:PORT]/TOPIC` or, over TLS, `mqtts://...`.
struct PublishTarget {
    static constexpr int kPlainPort = 1883;
    static constexpr int kTlsPort = 8883;
    /// Records go to `TOPIC/records`, the logger's state to `TOPIC/status`.
    static constexpr std::string_view kRecordsLevel = "/records";
    static constexpr std::string_view kStatusLevel = "/status";

    bool tls = false;
    /// Empty: no user name is sent.
    std::string user;
    /// A name or an address; an IPv6 address is given in brackets in the URL and kept without.
    std::string host;
    int port = kPlainPort;
    /// The topic records go under, e.g. "lab/bench1" ("lab/bench1/records").
    std::string topic;

    /// Reads `url`; none, with `error` saying what is wrong, when it is not such a URL or names a
    /// topic or a user that no broker takes (control characters, not UTF-8, a leading `$`, too
    /// long). A password in the URL is refused, and not repeated: it would show in the list of
    /// processes.
    static std::optional<PublishTarget> parse(std::string_view url, std::string &error);

    /// The URL again, without the user: "mqtt://HOST:PORT/TOPIC".
    std::string text() const;
    std::string recordsTopic() const { return topic + std::string(kRecordsLevel); }
    std::string statusTopic() const { return topic + std::string(kStatusLevel); }
};

} // namespace adc
