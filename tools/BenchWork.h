#pragma once
// The work the engine benchmarks time, shared by tq-bench and tq-engine-bench: one
// block of the whole engine chain (tuner on), or of the analyser's band bank, at
// 48000 Hz in blocks of 1200 frames, on two seconds of a plucked A string, looped.
#include <cstddef>
#include <vector>

#include "dsp/SampleBuffer.h"
#include "engine/DspEngine.h"

constexpr float kBenchRate = 48000.0f;
constexpr int kBenchBlock = 1200;

class EngineBenchWork
{
public:
    EngineBenchWork() = default;
    EngineBenchWork(const EngineBenchWork&) = delete;
    EngineBenchWork& operator=(const EngineBenchWork&) = delete;
    ~EngineBenchWork();

    // false when the engine or the input cannot be set up.
    bool Init();
    // One block through the engine; with bBankOnly, through the analyser's bank only.
    void Step(bool bBankOnly);
    // Biquad steps of the bank per block.
    double BankBiquadsPerBlock() const;

private:
    CDspEngine m_Engine;
    CSampleBuffer m_Input;
    std::vector<float> m_Signal;
    size_t m_uPos = 0;
    int m_iOffset = 0;
    bool m_bInit = false;
};
