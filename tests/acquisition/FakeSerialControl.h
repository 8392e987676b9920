#pragma once

#include "SerialControl.h"

#include <algorithm>
#include <string>
#include <vector>

namespace adc::test {

/// A serial port that records the steps taken on it and serves scripted characters.
class FakeSerialControl : public SerialControl {
public:
    std::vector<std::string> calls; ///< every step, e.g. "Settings=9600,N,8,1", "PortOpen=true"
    std::string waiting;            ///< characters received and not yet read
    std::string refuse;             ///< a step name (e.g. "PortOpen") that fails
    std::string error = "Cannot open /dev/ttyS0: no such device.";
    bool open = false;

    bool setLineSettings(const LineSettings &s) override { return step("Settings", s.text()); }
    bool setPortOpen(bool on) override
    {
        if (!step("PortOpen", on ? "true" : "false")) {
            return false;
        }
        open = on;
        return true;
    }
    bool portOpen() const override { return open; }
    bool setRtsEnable(bool on) override { return step("RTSEnable", on ? "true" : "false"); }
    bool setInBufferCount(int n) override
    {
        if (!step("InBufferCount", std::to_string(n))) {
            return false;
        }
        waiting.clear();
        return true;
    }
    std::size_t inBufferCount() override { return waiting.size(); }
    std::size_t input(char *buffer, std::size_t max) override
    {
        const std::size_t n = std::min(max, waiting.size());
        std::copy_n(waiting.data(), n, buffer);
        waiting.erase(0, n);
        ++reads;
        return n;
    }
    std::string errorText() const override { return error; }

    int reads = 0;

private:
    bool step(const std::string &name, const std::string &value)
    {
        calls.push_back(name + "=" + value);
        return name != refuse;
    }
};

} // namespace adc::test
