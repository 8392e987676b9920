#pragma once

#include <fstream>
#include <string>

namespace adc::test {

/// This process's resident size in KiB, as /proc/self/status tells it; -1 when it cannot be read.
inline long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

/// The first child process of `pid`, or 0 when it has none.
inline long long childOf(long long pid)
{
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    long long child = 0;
    children >> child;
    return child;
}

} // namespace adc::test
