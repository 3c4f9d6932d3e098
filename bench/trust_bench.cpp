// Times elevated starts of one signed setup program with and without a pinned publisher,
// alternately in one run, for bench/trust.sh.
//   trust_bench.exe PROGRAM PIN RUNS
// Prints the medians in ms and their ratio.
#include "storage/WorkFolder.h"
#include "trust/TrustedStart.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {
double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double TimeStart(const std::wstring& program, const StartPolicy& policy, bool& bStarted)
{
    const auto start = std::chrono::steady_clock::now();
    const FileHandle held = OpenHeldForReading(program);
    ProgramToStart setup;
    setup.path = program;
    setup.held = held.get();
    bStarted = StartProgramElevated(setup, policy) == StartResult::Started;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: trust_bench PROGRAM PIN RUNS\n");
        return 2;
    }
    const std::wstring program = argv[1];
    const std::wstring pinWide = argv[2];
    const StartPolicy pinned = StartPolicyFromList(std::string(pinWide.begin(), pinWide.end()));
    const StartPolicy open;
    const int nRuns = std::max(1, _wtoi(argv[3]));

    bool bStarted = false;
    TimeStart(program, pinned, bStarted); // warm-up: the first check loads the crypto DLLs
    TimeStart(program, open, bStarted);
    std::vector<double> withCheck, without;
    for (int i = 0; i < nRuns; ++i)
    {
        withCheck.push_back(TimeStart(program, pinned, bStarted));
        if (!bStarted)
        {
            std::fprintf(stderr, "the pinned start was refused\n");
            return 1;
        }
        without.push_back(TimeStart(program, open, bStarted));
    }
    const double a = Median(withCheck), b = Median(without);
    std::printf(
        "runs %d, medians\nstart with the check   %8.1f ms\nstart without it       %8.1f ms\n"
        "ratio with / without   %8.2f\n",
        nRuns, a, b, b > 0 ? a / b : 0.0);
    return 0;
}
