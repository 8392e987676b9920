#pragma once

#include "Display.h"

#include <benchmark/benchmark.h>

/// A display that takes everything the run shows and keeps none of it, so that a benchmark
/// measures the run and its observers alone.
class IdleDisplay : public adc::Display {
public:
    void showValueText(int, std::string_view text) override { benchmark::DoNotOptimize(text); }
    void showCount(std::string_view text) override { benchmark::DoNotOptimize(text); }
    void markRunning() override {}
    void drawStep(const adc::Step &s) override
    {
        benchmark::DoNotOptimize(s.record + s.from + s.to);
    }
    void runEnded(std::string_view) override {}
};
