#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

namespace adc {

/// A file read as a stream without ever waiting for good: opened without waiting for a writer
/// (a FIFO), and read in waits of a tenth of a second that end as soon as `stop` says so. For
/// reading a recording off the window's thread, whatever file the user names.
class InterruptibleFile : public std::streambuf {
public:
    /// Opens `path` (its bytes as the system takes them); `stop` is asked while a read waits.
    InterruptibleFile(const std::string &path, std::function<bool()> stop);
    ~InterruptibleFile() override;
    InterruptibleFile(const InterruptibleFile &) = delete;
    InterruptibleFile &operator=(const InterruptibleFile &) = delete;

    /// Why the file cannot be read (the system's reason, or that it is a directory); empty
    /// while it reads well.
    const std::string &error() const { return m_error; }
    /// The size of a regular file, for a progress bar; none for a pipe or a device.
    std::optional<std::uint64_t> size() const { return m_size; }

protected:
    int_type underflow() override;

private:
    int m_fd = -1;
    std::function<bool()> m_stop;
    std::vector<char> m_buffer;
    std::string m_error;
    std::optional<std::uint64_t> m_size;
};

} // namespace adc
