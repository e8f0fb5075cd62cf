// Benchmarks of the engine's per-block work. "rtf" is seconds of audio processed
// per CPU second: above 1 the chain keeps up with the stream, and the margin is
// what is left for the driver and the rest of the system. The engine and the band
// bank run once per way of running the bank ("per_band" is the plain recursion),
// so that their ratios come from one run on a shared, noisy machine.
#include <benchmark/benchmark.h>

#include "base/Log.h"
#include "dsp/Analyser.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "panel/FrameTick.h"
#include "panel/PanelHost.h"
#include "panel/XEffects.h"
#include "render/RedrawRequest.h"
#include "render/Renderer.h"
#include "render/software/SoftwareDevice.h"
#include "tools/BenchWork.h"

CLog g_Log(nullptr);

namespace {

constexpr float kRate = kBenchRate;
constexpr int kBlock = kBenchBlock;

void SetRateCounter(benchmark::State& state)
{
    const double dSecondsPerBlock = kBlock / static_cast<double>(kRate);
    state.counters["rtf"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * dSecondsPerBlock, benchmark::Counter::kIsRate);
}

// Selects the bank path for one benchmark; false (and the benchmark skipped) if
// this processor lacks it.
bool UsePath(benchmark::State& state, BankPath path)
{
    if (SelectBankPath(path))
        return true;
    state.SkipWithError("path not available on this processor");
    return false;
}

void RunEngineWork(benchmark::State& state, BankPath path, bool bBankOnly)
{
    if (!UsePath(state, path))
        return;
    EngineBenchWork work;
    if (!work.Init())
    {
        state.SkipWithError("engine initialisation failed");
        return;
    }
    for (auto _ : state)
    {
        work.Step(bBankOnly);
        benchmark::ClobberMemory();
    }
    SetRateCounter(state);
    if (bBankOnly)
        state.counters["biquads_per_s"] = benchmark::Counter(
            static_cast<double>(state.iterations()) * work.BankBiquadsPerBlock(), benchmark::Counter::kIsRate);
    SelectBankPath(FastestBankPath());
}

void BM_EngineProcess(benchmark::State& state, BankPath path)
{
    RunEngineWork(state, path, false);
}
BENCHMARK_CAPTURE(BM_EngineProcess, per_band, BankPath::PerBand)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EngineProcess, sse2, BankPath::Sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EngineProcess, avx, BankPath::Avx)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EngineProcess, avx512, BankPath::Avx512)->Unit(benchmark::kMicrosecond);

void BM_AnalyserBank(benchmark::State& state, BankPath path)
{
    RunEngineWork(state, path, true);
}
BENCHMARK_CAPTURE(BM_AnalyserBank, per_band, BankPath::PerBand)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_AnalyserBank, sse2, BankPath::Sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_AnalyserBank, avx, BankPath::Avx)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_AnalyserBank, avx512, BankPath::Avx512)->Unit(benchmark::kMicrosecond);

// One frame of the panel with the software device: the full redraw of a start or
// restore, and the partial frame drawn ten times a second (a pressed string
// button plus the level meter and the tuner read-out).
void BM_Frame(benchmark::State& state, bool bFull)
{
    SetStreamFormat(kRate, kBlock);
    CDspEngine engine;
    CRecordingPanelHost host;
    CSoftwareDevice device(kClientWidth, kClientHeight);
    if (!engine.InitDSP() || device.LoadPanelTextures(TQ_TEXTURE_DIR) != NUM_TEXTURES)
    {
        state.SkipWithError("engine or textures missing");
        return;
    }
    g_pRenderDevice = &device;
    SetRenderStates();
    g_XEffects.Attach(&engine, &host);
    g_XEffects.Init();
    engine.m_Tuner2.m_Tuner.SetMeasured(108.0f);
    engine.m_Tuner2.m_fMeasuredFreq = 108.0f;
    g_bFirstFrameDone = 1;
    for (auto _ : state)
    {
        g_bPanelDrawn = bFull ? 0 : 1;
        if (!bFull)
            RequestRedraw(11, 2, 11, 2);
        FrameTick(0, 0, 0, 0, 0);
    }
    g_XEffects.Attach(nullptr, nullptr);
    g_pRenderDevice = nullptr;
    engine.Release();
}
BENCHMARK_CAPTURE(BM_Frame, full, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Frame, partial, false)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
