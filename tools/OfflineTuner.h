#pragma once
// Runs recorded audio through the unchanged engine chain, block by block exactly
// as the audio thread feeds it, with the tuner switched on, and reports after every
// block what the tuner read-out would show.
#include <memory>
#include <string>
#include <vector>

#include "tuner/ReadOut.h"

class CDspEngine;
class CSampleBuffer;

struct OfflineTunerOptions
{
    int iTuning = 28;          // 0..31
    int iString = 0;           // 0..5, 0 = lowest string
    int iBlockSize = 1200;     // frames per block, 25..2000
    float fInputGain = 1.0f;   // the mixer's input gain, 0.1..5.0
    bool bStereo = false;      // false: the left channel feeds both engine channels
};

// What the read-out shows after one block.
struct OfflineTunerRow
{
    double dTime = 0.0;         // seconds at the end of the block
    float fBandHz = 0.0f;       // the tracker's centre frequency
    float fMeasuredHz = 0.0f;   // the estimator's published frequency, 0 = no pitch
    float fTargetHz = 0.0f;
    ReadOut readOut;            // note, clamped deviation, lit guidance word
};

class OfflineTuner
{
public:
    OfflineTuner();
    ~OfflineTuner();
    OfflineTuner(const OfflineTuner&) = delete;
    OfflineTuner& operator=(const OfflineTuner&) = delete;

    // Starts a stream at fSampleRate; false (with a message) when the options are
    // out of range or the engine cannot be initialised.
    bool Start(float fSampleRate, const OfflineTunerOptions& options, std::string* pError);

    // Feeds one block of iBlockSize frames in 16-bit scale (pRight may be null for
    // mono input) and returns the read-out after it.
    OfflineTunerRow Feed(const float* pLeft, const float* pRight);

    // Feeds whole recordings: frames are split into blocks, the last one padded
    // with silence. One row per block.
    std::vector<OfflineTunerRow> Run(const float* pLeft, const float* pRight, size_t nFrames);

    CDspEngine& Engine() { return *m_pEngine; }

private:
    std::unique_ptr<CDspEngine> m_pEngine;
    std::unique_ptr<CSampleBuffer> m_pInput;
    OfflineTunerOptions m_Options;
    float m_fSampleRate = 48000.0f;
    int m_iOffset = 0;
    long long m_llFramesFed = 0;
};

// Range checks shared by the tool's option parser and OfflineTuner::Start; empty
// when the options are valid, else a message naming the bad value.
std::string ValidateOfflineTunerOptions(const OfflineTunerOptions& options);
