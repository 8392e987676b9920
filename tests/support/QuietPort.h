#pragma once

#include "SerialControl.h"

#include <cstddef>
#include <string>

namespace adc::test {

/// A port that takes every setting and never has characters waiting: the tests, benchmarks
/// and fuzz targets hand the characters to the run directly.
class QuietPort : public SerialControl {
public:
    bool setLineSettings(const LineSettings &) override { return true; }
    bool setPortOpen(bool open) override
    {
        m_open = open;
        return true;
    }
    bool portOpen() const override { return m_open; }
    bool setRtsEnable(bool) override { return true; }
    bool setInBufferCount(int) override { return true; }
    std::size_t inBufferCount() override { return 0; }
    std::size_t input(char *, std::size_t) override { return 0; }
    std::string errorText() const override { return {}; }

private:
    bool m_open = false;
};

} // namespace adc::test
