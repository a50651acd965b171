// A console reporter that also keeps each benchmark's CPU time per iteration and prints, after
// the runs, the ratios of ours to the references measured in the same run beside their targets.
#pragma once

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace rzbench
{

// One line of the summary: the CPU time of `ours` divided by that of `reference`.
struct Ratio
{
    const char* what;
    const char* ours;
    const char* reference;
    const char* target;
};

class CRatioReporter : public benchmark::ConsoleReporter
{
public:
    explicit CRatioReporter(std::vector<Ratio> ratios) : m_ratios(std::move(ratios)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With repetitions, the mean of them; otherwise the one run.
        for (const Run& run : runs)
        {
            if (run.error_occurred)
                continue;
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean")
            {
                m_times[name] = run.GetAdjustedCPUTime();
                m_fromMean.insert(name);
            }
            else if (run.run_type == Run::RT_Iteration && m_fromMean.count(name) == 0)
            {
                m_times[name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The ratios whose two benchmarks both ran.
    void PrintRatios() const
    {
        std::printf("\n%-40s %10s %8s\n", "ratio", "value", "target");
        for (const Ratio& ratio : m_ratios)
        {
            const auto ours = m_times.find(ratio.ours);
            const auto reference = m_times.find(ratio.reference);
            if (ours == m_times.end() || reference == m_times.end() || reference->second <= 0)
                continue;
            std::printf("%-40s %10.2f %8s\n", ratio.what, ours->second / reference->second,
                        ratio.target);
        }
    }

private:
    std::vector<Ratio> m_ratios;
    std::map<std::string, double> m_times;
    std::set<std::string> m_fromMean;
};

} // namespace rzbench
