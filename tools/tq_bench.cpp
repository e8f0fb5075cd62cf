// Benchmarks of the engine's per-block work. "rtf" is seconds of audio processed
// per CPU second: above 1 the chain keeps up with the stream, and the margin is
// what is left for the driver and the rest of the system. The engine and the band
// bank run once per way of running the bank ("per_band" is the plain recursion),
// so that their ratios come from one run on a shared, noisy machine.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/Log.h"
#include "engine/Analyser.h"
#include "engine/DspEngine.h"
#include "engine/StreamParams.h"
#include "render/FrameTick.h"
#include "render/PanelHost.h"
#include "render/RedrawRequest.h"
#include "render/Renderer.h"
#include "render/SoftwareDevice.h"
#include "render/XEffects.h"
#include "tools/PluckedString.h"

CLog g_Log(nullptr);

namespace {

constexpr float kRate = 48000.0f;
constexpr int kBlock = 1200;

// Two seconds of a plucked A string, looped.
std::vector<float> GuitarSignal()
{
    PluckedStringParams p;
    p.fFrequency = 110.0f;
    p.fSampleRate = kRate;
    p.fSeconds = 2.0f;
    return RenderPluckedString(p);
}

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

void BM_EngineProcess(benchmark::State& state, BankPath path)
{
    if (!UsePath(state, path))
        return;
    SetStreamFormat(kRate, kBlock);
    CDspEngine engine;
    CSampleBuffer input;
    if (!engine.InitDSP() || !input.Init("bench", "input", g_iBufMonoLen, g_iBlockSize))
    {
        state.SkipWithError("engine initialisation failed");
        return;
    }
    const std::vector<float> signal = GuitarSignal();
    size_t pos = 0;
    int offset = 0;
    for (auto _ : state)
    {
        for (int c = 0; c < 2; ++c)
            for (int n = 0; n < kBlock; ++n)
                input.Channel(c)[offset + n] = signal[(pos + static_cast<size_t>(n)) % signal.size()];
        benchmark::DoNotOptimize(engine.Process(&input, offset));
        pos = (pos + kBlock) % signal.size();
        offset = offset == 0 ? kBlock : 0;
    }
    SetRateCounter(state);
    engine.Release();
    input.Release("bench", "input");
    SelectBankPath(FastestBankPath());
}
BENCHMARK_CAPTURE(BM_EngineProcess, per_band, BankPath::PerBand)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EngineProcess, sse2, BankPath::Sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EngineProcess, avx, BankPath::Avx)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EngineProcess, avx512, BankPath::Avx512)->Unit(benchmark::kMicrosecond);

void BM_AnalyserBank(benchmark::State& state, BankPath path)
{
    if (!UsePath(state, path))
        return;
    SetStreamFormat(kRate, kBlock);
    Analyser analyser;
    CSampleBuffer input;
    if (!analyser.Init() || !input.Init("bench", "input", g_iBufMonoLen, g_iBlockSize))
    {
        state.SkipWithError("analyser initialisation failed");
        return;
    }
    const std::vector<float> signal = GuitarSignal();
    for (int n = 0; n < g_iBufMonoLen; ++n)
        input.Channel(0)[n] = signal[static_cast<size_t>(n)];
    int offset = 0;
    for (auto _ : state)
    {
        BpFilter::ProcessBank(input.Channel(0), offset, analyser.m_pFilters[0], analyser.NumBands(),
                              analyser.m_iNumStages);
        benchmark::ClobberMemory();
        offset = offset == 0 ? kBlock : 0;
    }
    SetRateCounter(state);
    state.counters["biquads_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock * analyser.NumBands() * analyser.m_iNumStages,
        benchmark::Counter::kIsRate);
    analyser.Release();
    input.Release("bench", "input");
    SelectBankPath(FastestBankPath());
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
