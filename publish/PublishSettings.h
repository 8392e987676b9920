#pragma once

#include "PublishTarget.h"

#include <string>

namespace adc {

/// What the user chose for publishing (`--publish` and its options), unchecked beyond the URL.
/// File names are bytes, as given.
struct PublishSettings {
    PublishTarget target;
    /// The certificate authorities to trust over TLS (--publish-ca); empty: the system's.
    std::string caFile;
    /// The password's file (--publish-password-file; "-": standard input); empty: the password,
    /// if any, is BrokerPassword::kVariable's.
    std::string passwordFile;
    /// The device the records come from, for the status.
    std::string device;
};

} // namespace adc
