#pragma once

#include <cstddef>
#include <string>

namespace adc {

/// A file of certificate authorities to trust (--publish-ca), checked before anything starts.
class CertificateFile {
public:
    /// Largest file taken (the system's whole bundle is a few hundred KiB).
    static constexpr std::size_t kLargest = 16 * 1024 * 1024;

    /// Why `path` cannot serve: it cannot be read, is not a regular file, is larger than
    /// kLargest or holds no certificate in PEM form that OpenSSL reads. Empty when it serves.
    static std::string problem(const std::string &path);
};

} // namespace adc
