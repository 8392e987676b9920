#pragma once

#include "Display.h"

#include <cstdint>
#include <string>
#include <vector>

namespace adc::test {

/// A display that writes down every operation the run calls, in order.
class RecordingDisplay : public Display {
public:
    /// "text 0 0512", "count 1", "running", "step RECORD FROM,TO", "ended ..."
    std::vector<std::string> log;
    std::vector<Step> steps;
    std::string boxes[8] = {"0", "0", "0", "0", "0", "0", "0", "0"};
    std::string count = "0";
    bool green = false;

    void showValueText(int channel, std::string_view text) override
    {
        boxes[channel] = std::string(text);
        log.push_back("text " + std::to_string(channel) + " " + std::string(text));
    }
    void resetValue(int channel) override
    {
        boxes[channel] = "0";
        log.push_back("reset " + std::to_string(channel));
    }
    void showCount(std::string_view text) override
    {
        count = std::string(text);
        log.push_back("count " + count);
    }
    void markRunning() override
    {
        green = true;
        log.push_back("running");
    }
    void markWaiting() override
    {
        green = false;
        log.push_back("waiting");
    }
    void drawStep(const Step &s) override
    {
        steps.push_back(s);
        log.push_back("step " + std::to_string(s.record) + " " + std::to_string(s.from) + "," +
                      std::to_string(s.to));
    }
    void runEnded(std::string_view message) override
    {
        green = false;
        log.push_back("ended " + std::string(message));
    }
};

} // namespace adc::test
