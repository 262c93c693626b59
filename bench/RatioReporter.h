// Console output as usual, plus each benchmark's mean real time per
// iteration, so a program can print the ratios its goals are stated in.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.iterations > 0)
                times[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }

    // Seconds per iteration of the benchmark `name` (with or without its
    // "/argument" suffix); 0 when it did not run.
    double seconds(const std::string& name) const
    {
        for (const auto& [run, time] : times)
            if (run == name || run.compare(0, name.size() + 1, name + "/") == 0)
                return time;
        return 0.0;
    }

private:
    std::map<std::string, double> times;
};
