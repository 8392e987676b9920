#include "CertificateFile.h"
#include "MqttText.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace adc {

namespace {

/// The bytes of the regular file `path`, or why there are none.
bool readAll(const std::string &path, std::string &bytes, std::string &why)
{
    // Not blocked by a FIFO: it is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        why = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        why = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
    } else if (static_cast<std::size_t>(info.st_size) > CertificateFile::kLargest) {
        why = "it is larger than " + std::to_string(CertificateFile::kLargest >> 20) + " MiB";
    } else {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        const ssize_t got = ::read(fd, bytes.data(), bytes.size());
        if (got < 0) {
            why = std::strerror(errno);
        }
        bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return why.empty();
}

/// Certificates in `pem` as the TLS library reads a file of authorities: none when a part of
/// it cannot be read.
int certificates(const std::string &pem)
{
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
    STACK_OF(X509_INFO) *items = PEM_X509_INFO_read_bio(bio.get(), nullptr, nullptr, nullptr);
    if (items == nullptr) {
        return 0;
    }
    int found = 0;
    for (int i = 0; i < sk_X509_INFO_num(items); ++i) {
        found += sk_X509_INFO_value(items, i)->x509 != nullptr ? 1 : 0;
    }
    sk_X509_INFO_pop_free(items, X509_INFO_free);
    return found;
}

} // namespace

std::string CertificateFile::problem(const std::string &path)
{
    const std::string where = "certificate authorities' file " + MqttText::shown(path);
    std::string bytes;
    std::string why;
    if (!readAll(path, bytes, why)) {
        return "Cannot read the " + where + ": " + why + ".";
    }
    const int found = certificates(bytes);
    // Nothing of a failed reading is left for the TLS connection to find.
    ERR_clear_error();
    if (found == 0) {
        return "The " + where +
               " holds no certificate that can be read (PEM: \"-----BEGIN "
               "CERTIFICATE-----\").";
    }
    return {};
}

} // namespace adc
