#include "tools/OfflineTuner.h"

#include <algorithm>
#include <cstring>

#include "dsp/SampleBuffer.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"

std::string ValidateOfflineTunerOptions(const OfflineTunerOptions& o)
{
    if (o.iTuning < 0 || o.iTuning > 31)
        return "tuning must be 0 to 31";
    if (o.iString < 0 || o.iString > 5)
        return "string must be 0 to 5";
    if (o.iBlockSize < 25 || o.iBlockSize > 2000)
        return "block size must be 25 to 2000";
    if (!(o.fInputGain >= 0.1f && o.fInputGain <= 5.0f))
        return "input gain must be 0.1 to 5.0";
    return std::string();
}

OfflineTuner::OfflineTuner() : m_pEngine(new CDspEngine), m_pInput(new CSampleBuffer) {}

OfflineTuner::~OfflineTuner()
{
    m_pEngine->Release();
    m_pInput->Release("OfflineTuner", "m_pInput");
}

bool OfflineTuner::Start(float fSampleRate, const OfflineTunerOptions& options, std::string* pError)
{
    const std::string sBad = ValidateOfflineTunerOptions(options);
    if (!sBad.empty())
    {
        if (pError)
            *pError = sBad;
        return false;
    }
    m_Options = options;
    m_fSampleRate = fSampleRate;
    m_iOffset = 0;
    m_llFramesFed = 0;

    SetStreamFormat(fSampleRate, options.iBlockSize);
    m_pInput->Release("OfflineTuner", "m_pInput");
    m_pEngine->Release();
    if (!m_pEngine->InitDSP() || !m_pInput->Init("OfflineTuner", "m_pInput", g_iBufMonoLen, g_iBlockSize))
    {
        if (pError)
            *pError = "out of memory initialising the engine";
        return false;
    }
    // What the panel does: the input-volume knob sets the mixer's input gain, and
    // choosing a tuning and a string sets the target.
    Tuner2& tuner = m_pEngine->m_Tuner2;
    m_pEngine->m_Mixer.m_fInputGain.store(options.fInputGain);
    tuner.m_iSelectedTuning.store(options.iTuning);
    tuner.SelectString(options.iString);
    return true;
}

OfflineTunerRow OfflineTuner::Feed(const float* pLeft, const float* pRight)
{
    const int iBlock = m_Options.iBlockSize;
    const float* pSecond = (m_Options.bStereo && pRight) ? pRight : pLeft;
    std::memcpy(m_pInput->Channel(0) + m_iOffset, pLeft, sizeof(float) * static_cast<size_t>(iBlock));
    std::memcpy(m_pInput->Channel(1) + m_iOffset, pSecond, sizeof(float) * static_cast<size_t>(iBlock));
    m_pEngine->Process(m_pInput.get(), m_iOffset);
    m_iOffset += iBlock;
    if (m_iOffset >= g_iBufMonoLen)
        m_iOffset = 0;
    m_llFramesFed += iBlock;

    Tuner2& tuner = m_pEngine->m_Tuner2;
    OfflineTunerRow row;
    row.dTime = static_cast<double>(m_llFramesFed) / m_fSampleRate;
    row.fBandHz = tuner.m_fTrackingFreq.load();
    row.fMeasuredHz = tuner.m_Tuner.Measured();
    row.fTargetHz = tuner.m_fTargetFreq.load();
    row.readOut = EvaluateReadOut(row.fTargetHz, row.fMeasuredHz, tuner.m_fMeasuredFreq.load());
    // The read-out clears the tracker's copy when it shows no pitch.
    if (!row.readOut.bPitch)
        tuner.m_fMeasuredFreq.store(0.0f);
    return row;
}

std::vector<OfflineTunerRow> OfflineTuner::Run(const float* pLeft, const float* pRight, size_t nFrames)
{
    const size_t nBlock = static_cast<size_t>(m_Options.iBlockSize);
    std::vector<OfflineTunerRow> rows;
    rows.reserve(nFrames / nBlock + 1);
    std::vector<float> left(nBlock), right(nBlock);
    for (size_t start = 0; start < nFrames; start += nBlock)
    {
        const size_t n = std::min(nBlock, nFrames - start);
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        std::copy(pLeft + start, pLeft + start + n, left.begin());
        if (pRight)
            std::copy(pRight + start, pRight + start + n, right.begin());
        rows.push_back(Feed(left.data(), pRight ? right.data() : nullptr));
    }
    return rows;
}
