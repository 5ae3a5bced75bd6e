#include "bench_ratio.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <set>

namespace {

class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With --benchmark_repetitions the median stands for the benchmark.
        for (const Run& run : runs) {
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !medians.count(name)) {
                times[name] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times[name] = run.GetAdjustedRealTime();
                medians.insert(name);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
    std::set<std::string> medians;
};

} // namespace

int RunWithRatios(int argc, char** argv, const std::vector<RatioPair>& pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bool allMet = true;
    for (const RatioPair& pair : pairs) {
        const auto measured = reporter.times.find(pair.measured);
        const auto floor = reporter.times.find(pair.floor);
        if (measured == reporter.times.end() || floor == reporter.times.end() ||
            floor->second <= 0) {
            continue;
        }
        const double ratio = measured->second / floor->second;
        const bool met = ratio <= pair.goal;
        allMet = allMet && met;
        std::printf("ratio %s / %s = %.2f (goal <= %.1f) %s\n", pair.measured.c_str(),
                    pair.floor.c_str(), ratio, pair.goal, met ? "met" : "NOT MET");
    }
    benchmark::Shutdown();
    // Timing depends on the machine: report, do not fail the run.
    (void)allMet;
    return 0;
}
