// The engine benchmarks for builds without Google Benchmark (the Windows cross
// builds, run under Wine): BM_EngineProcess and BM_AnalyserBank on every bank path
// this processor has, the paths taking turns within each repetition, so that the
// ratios to the per-band code come from one run. Prints the median time per block
// over the repetitions; wall-clock time, so run it on a quiet machine.
//   tq-engine-bench [repetitions] [blocks per measurement]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/Log.h"
#include "dsp/BpFilter.h"
#include "tools/BenchWork.h"

CLog g_Log(nullptr);

namespace {

struct PathName
{
    BankPath path;
    const char* szName;
};
const PathName kPaths[] = {
    {BankPath::PerBand, "per_band"}, {BankPath::Sse2, "sse2"}, {BankPath::Avx, "avx"}, {BankPath::Avx512, "avx512"}};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

// Microseconds per block of iBlocks blocks, after a few unmeasured ones.
double TimeBlocks(EngineBenchWork& work, bool bBankOnly, int iBlocks)
{
    for (int i = 0; i < 3; ++i)
        work.Step(bBankOnly);
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < iBlocks; ++i)
        work.Step(bBankOnly);
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(t1 - t0).count() / iBlocks;
}

} // namespace

int main(int argc, char** argv)
{
    const int iReps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int iBlocks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    EngineBenchWork work;
    if (!work.Init())
    {
        std::fprintf(stderr, "engine initialisation failed\n");
        return 1;
    }
    std::vector<PathName> paths;
    for (const PathName& p : kPaths)
        if (BankPathAvailable(p.path))
            paths.push_back(p);
    std::printf("%d repetitions of %d blocks of %d frames at %.0f Hz; median per block\n", iReps, iBlocks,
                kBenchBlock, static_cast<double>(kBenchRate));
    const double dBlockSeconds = kBenchBlock / static_cast<double>(kBenchRate);
    for (bool bBankOnly : {false, true})
    {
        std::vector<std::vector<double>> times(paths.size());
        for (int r = 0; r < iReps; ++r)
            for (size_t i = 0; i < paths.size(); ++i)
            {
                SelectBankPath(paths[i].path);
                times[i].push_back(TimeBlocks(work, bBankOnly, iBlocks));
            }
        const double dRef = Median(times[0]);
        for (size_t i = 0; i < paths.size(); ++i)
        {
            const double dUs = Median(times[i]);
            std::printf("%-16s/%-8s %10.1f us   rtf %8.1f   x%.2f\n", bBankOnly ? "BM_AnalyserBank" : "BM_EngineProcess",
                        paths[i].szName, dUs, dBlockSeconds / (dUs * 1e-6), dRef / dUs);
        }
    }
    SelectBankPath(FastestBankPath());
    return 0;
}
