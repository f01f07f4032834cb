#pragma once
// Keeps the real time per iteration of every benchmark run, so that a bench
// can print its ratio against a reference measured in the same run. Keys are
// the function name plus its arguments ("BM_Find/1"); with repetitions the
// median is kept, since the machine may be busy with other work.
#include <benchmark/benchmark.h>

#include <map>
#include <set>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            if (run.error_occurred || run.iterations <= 0)
                continue;
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median")
                continue;
            std::string key = run.run_name.function_name;
            if (!run.run_name.args.empty())
                key += "/" + run.run_name.args;
            if (!aggregate && medians_.count(key))
                continue;
            if (aggregate)
                medians_.insert(key);
            seconds[key] = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // ours / reference, or a negative value when either is missing.
    double Ratio(const std::string& ours, const std::string& reference) const
    {
        const auto a = seconds.find(ours);
        const auto b = seconds.find(reference);
        if (a == seconds.end() || b == seconds.end() || b->second <= 0)
            return -1;
        return a->second / b->second;
    }

    std::map<std::string, double> seconds;

private:
    std::set<std::string> medians_;
};
