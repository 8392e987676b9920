#pragma once

#include "Display.h"

#include <string>
#include <vector>

namespace adc::test {

/// A display that keeps the value texts of every accepted record and the last count shown.
class RecordLog : public Display {
public:
    std::vector<std::vector<std::string>> records; ///< value texts, one entry per record
    std::string count = "0";

    void showValueText(int channel, std::string_view text) override
    {
        if (channel == 0) {
            records.emplace_back();
        }
        records.back().emplace_back(text);
    }
    void showCount(std::string_view text) override { count = std::string(text); }
    void markRunning() override {}
    void drawStep(const Step &) override {}
    void runEnded(std::string_view) override {}
};

} // namespace adc::test
