#pragma once
// The rules of the tuner read-out: what the panel shows for a target frequency T,
// the estimator's published frequency M and the tracker's copy F. Shared by the
// panel's drawing and the offline analyser so both always agree.

enum class Guidance
{
    None,      // no word lit
    TuneUp,    // string flat
    InTune,
    TuneDown,  // string sharp
};

struct ReadOut
{
    float fDeviation = 0.0f;  // (T - M) x 10, clamped to +-99; one unit = 0.1 Hz = one bar pixel
    bool bPitch = false;      // M truncated is not 0: a pitch is shown (note text, F kept)
    bool bBar = false;        // M truncated is above 0: the deviation bar is drawn
    int iBarEnd = 320;        // the bar runs from x = 320 to this x
    Guidance eLit = Guidance::None;
    char szNote[16] = " ";     // note name and octave ("A2", "C#3"), or a single space
    // 1200 log2(M / T): cents sharp (+) or flat (-) of the target, 0 without a pitch.
    float fCents = 0.0f;
    // As the panel shows it beside the note: "+4.2c" to one decimal within 100
    // cents, whole cents beyond ("-350c"), kept within 999; "" without a pitch.
    char szCents[16] = "";
};

constexpr float kDeviationLimit = 99.0f;
constexpr float kInTuneBand = 3.0f;  // |D| up to this (0.3 Hz) is in tune

// The read-out for T, M and F. When bPitch is false the caller clears F.
ReadOut EvaluateReadOut(float fTarget, float fMeasured, float fMeasuredCopy);

// Where the cents stand on the panel: right-aligned in the value panel's Note row,
// between its caption and the note.
constexpr int kCentsRight = 500;

// The guidance word as the panel writes it, or "" for None.
const char* GuidanceText(Guidance eGuidance);
