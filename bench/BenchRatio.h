#pragma once
// Side-by-side benchmarks judged by a ratio. Timings of files and folders are noisy (write-back and
// other work run beside them): each benchmark runs several repetitions and the ratio uses the fastest
// of each, the least disturbed one.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace benchratio {

inline void fastestOf(benchmark::internal::Benchmark* b, int repetitions, benchmark::TimeUnit unit) {
    b->Unit(unit)
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics(
            "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

// Prints as the console reporter does and keeps the fastest repetition of each benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.aggregate_name == "min") fastest_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    // a / b, or 0 when either did not run.
    double ratio(const std::string& a, const std::string& b) const {
        const auto x = fastest_.find(a);
        const auto y = fastest_.find(b);
        return x == fastest_.end() || y == fastest_.end() ? 0.0 : x->second / y->second;
    }

private:
    std::map<std::string, double> fastest_;
};

}  // namespace benchratio
