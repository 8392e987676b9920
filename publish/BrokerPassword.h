#pragma once

#include "PublishSettings.h"

#include <chrono>
#include <optional>
#include <string>

namespace adc {

/// The broker's password: the first line of a file (--publish-password-file), or the
/// environment variable kVariable. Either goes with a user name in the URL, and holds at most
/// MqttText::kLongest bytes.
class BrokerPassword {
public:
    static constexpr char kVariable[] = "ADC_PUBLISH_PASSWORD";
    /// Longest wait for a pipe to deliver its line.
    static constexpr std::chrono::milliseconds kPipeWait{5000};

    /// The password `settings` ask for; none when they ask for none, or, with `error` saying
    /// why, when it is refused.
    static std::optional<std::string> find(const PublishSettings &settings, std::string &error);
    /// The first line of `path`, without its line end: a regular file, standard input ("-") or a
    /// pipe (a FIFO, or process substitution: `<(pass show broker)`). At most 64 KiB are read,
    /// and a pipe is waited for `wait` at most. None, with `error` saying why, for anything else,
    /// nothing in time or a longer line. SIGINT, SIGTERM and SIGHUP end the wait for a pipe
    /// and take their course once it is over.
    static std::optional<std::string> readFile(const std::string &path, std::string &error,
                                               std::chrono::milliseconds wait = kPipeWait);
};

} // namespace adc
