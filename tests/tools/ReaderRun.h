#pragma once

#include "AcquisitionRun.h"
#include "QuietPort.h"
#include "RecordLog.h"

#include <algorithm>
#include <string_view>

namespace adc::test {

/// The program's own reader in one mode, started and fed directly.
class ReaderRun {
public:
    explicit ReaderRun(Mode mode) : m_run(mode, m_port, m_log) { m_run.start(); }

    /// Hands `bytes` to the run in pieces of varying size, as a port would deliver them.
    void feed(std::string_view bytes)
    {
        std::size_t piece = 1;
        while (!bytes.empty()) {
            const std::size_t n = std::min(piece, bytes.size());
            m_run.process(bytes.substr(0, n));
            bytes.remove_prefix(n);
            piece = piece * 7 % 4093 + 1;
        }
    }

    std::int64_t accepted() const { return m_run.count(); }
    const RecordLog &log() const { return m_log; }

private:
    QuietPort m_port;
    RecordLog m_log;
    AcquisitionRun m_run;
};

} // namespace adc::test
