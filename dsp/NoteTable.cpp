#include "dsp/NoteTable.h"

#include <cmath>

#include "dsp/Alloc.h"
#include "dsp/DspMath.h"

std::atomic<float*> g_pNoteFreq{nullptr};

const char g_szNoteName[12][3] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

float NoteFrequency(int k)
{
    // The exponent is an int times a float, exact in extended precision; the power
    // is taken there and only the product is rounded to a float.
    long double e = static_cast<long double>(k - 57) * static_cast<long double>(SEMITONE_OCTAVES);
    return static_cast<float>(440.0L * std::pow(2.0L, e));
}

int MakeNoteTable()
{
    // The table is constant, so it is made once and kept: the read-out and the
    // panel read it from other threads while the audio thread restarts the engine.
    if (g_pNoteFreq.load(std::memory_order_acquire))
        return 1;
    float* p = AllocBuf(NUM_NOTES);
    if (!p)
        return 0;
    for (int k = 0; k < NUM_NOTES; ++k)
        p[k] = NoteFrequency(k);
    g_pNoteFreq.store(p, std::memory_order_release);
    return 1;
}
