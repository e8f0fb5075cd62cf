#pragma once
// The signal-processing engine: the fixed chain of units between the audio
// back-end and the read-outs. The back-end calls Release then InitDSP when a stream
// (re)starts, and Process once per block on the audio thread.
#include <atomic>

#include "dsp/Analyser.h"
#include "dsp/Empty.h"
#include "dsp/Level.h"
#include "dsp/Limiter.h"
#include "dsp/Mixer.h"
#include "dsp/SampleBuffer.h"
#include "tuner/Tuner2.h"

constexpr int NUM_LFO_TABLES = 8;

// Waveform tables made with the engine; nothing in the running chain reads them.
extern float* g_pLfoBuf[NUM_LFO_TABLES];

class CDspEngine
{
public:
    std::atomic<int> m_bOn{0};  // 1 between a successful InitDSP and Release
    Mixer m_Mixer;
    Level m_Level;
    Empty m_Empty;
    Analyser m_Analyser;
    Tuner2 m_Tuner2;
    Limiter m_Limiter;

    CDspEngine();
    CDspEngine(const CDspEngine&) = delete;
    CDspEngine& operator=(const CDspEngine&) = delete;

    // 1 on success; 0 when an allocation failed (the engine then stays off and
    // Process passes audio through). Requires the stream parameters.
    int InitDSP();
    void Release();

    // Processes the block at offset (0 or g_iBlockSize, alternating) and returns
    // the buffer holding the result at the same offset; the input itself when off.
    CSampleBuffer* Process(CSampleBuffer* pIn, int iOffset);

    // The tuner slot's on switch, owned by the rack panel; until the panel points
    // the engine at it, the engine's own switch (on) is used.
    void SetTunerSwitch(const std::atomic<int>* pOn) { m_pTunerOn = pOn ? pOn : &m_bTunerOnDefault; }
    bool TunerOn() const { return m_pTunerOn->load(std::memory_order_relaxed) != 0; }

private:
    std::atomic<int> m_bTunerOnDefault{1};
    const std::atomic<int>* m_pTunerOn = &m_bTunerOnDefault;
};

// Times a band-pass biquad over 2.4 million samples; milliseconds, 0 when the
// arrays cannot be allocated.
int CpuTest();
