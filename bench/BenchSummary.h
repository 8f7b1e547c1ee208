#pragma once

// Runs the registered benchmarks with the console reporter and keeps each run's time per
// iteration, so that a program can print its figures beside their references afterwards.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

namespace kavelin::bench {

class CapturingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
                // With --benchmark_repetitions, the best repetition: on a shared machine the
                // others only add other programs' time.
                keepLeast(seconds_, run.benchmark_name(), run.GetAdjustedCPUTime() / unit);
                keepLeast(realSeconds_, run.benchmark_name(), run.GetAdjustedRealTime() / unit);
                iterations_[run.benchmark_name()] = run.iterations;
                for (const auto& [key, counter] : run.counters)
                    counters_[run.benchmark_name() + "/" + key] = counter.value;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    // CPU seconds per iteration (the machine may be shared; CPU time is the steadier figure), or 0
    // when the benchmark did not run.
    double seconds(const std::string& name) const {
        auto it = seconds_.find(name);
        return it == seconds_.end() ? 0.0 : it->second;
    }
    // Wall-clock seconds per iteration, for work that waits on other threads or the network.
    double realSeconds(const std::string& name) const {
        auto it = realSeconds_.find(name);
        return it == realSeconds_.end() ? 0.0 : it->second;
    }

    // Iterations of the reported run, or 0.
    int64_t iterations(const std::string& name) const {
        auto it = iterations_.find(name);
        return it == iterations_.end() ? 0 : it->second;
    }
    // A user counter of the reported run (as the benchmark set it), or 0.
    double counter(const std::string& name, const std::string& key) const {
        auto it = counters_.find(name + "/" + key);
        return it == counters_.end() ? 0.0 : it->second;
    }

private:
    static void keepLeast(std::map<std::string, double>& map, const std::string& name,
                          double value) {
        auto [it, added] = map.emplace(name, value);
        if (!added && value < it->second)
            it->second = value;
    }

    std::map<std::string, double> seconds_;
    std::map<std::string, double> realSeconds_;
    std::map<std::string, int64_t> iterations_;
    std::map<std::string, double> counters_;
};

inline int runAndSummarise(int argc, char** argv, void (*summary)(const CapturingReporter&)) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    CapturingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\n");
    summary(reporter);
    return 0;
}

inline double ratio(double ours, double reference) {
    return reference > 0 && ours > 0 ? ours / reference : 0.0;
}

} // namespace kavelin::bench
