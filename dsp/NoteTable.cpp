#include "dsp/NoteTable.h"

#include <cmath>
#include <mutex>

#include "base/Lock.h"
#include "dsp/Alloc.h"
#include "dsp/DspMath.h"
#include "dsp/ReferencePitch.h"

std::atomic<float*> g_pNoteFreq{nullptr};

namespace {

// The tables made in this run, by reference in tenths of a hertz. A table once
// published may still be read on another thread, so none is freed: at most one
// for each of the 801 references, 400 bytes each.
float* g_apTables[kMaxReferenceTenths - kMinReferenceTenths + 1] = {};
CLock g_TablesLock;  // engines may be built on several threads at once (tools, tests)

} // namespace

const char g_szNoteName[12][3] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

float NoteFrequency(int k)
{
    // The exponent is an int times a float, exact in extended precision; the power
    // is taken there and only the product is rounded to a float.
    long double e = static_cast<long double>(k - 57) * static_cast<long double>(SEMITONE_OCTAVES);
    return static_cast<float>(440.0L * ReferenceRatio() * std::pow(2.0L, e));
}

int MakeNoteTable()
{
    // A table is constant once published: the read-out and the panel read it from
    // other threads while the audio thread restarts the engine. Another reference
    // gets a table of its own (a player switching back finds the old one again).
    const int iTenths = g_iReferenceTenths.load(std::memory_order_relaxed);
    if (iTenths < kMinReferenceTenths || iTenths > kMaxReferenceTenths)
        return 0;
    std::lock_guard<CLock> hold(g_TablesLock);
    float*& pTable = g_apTables[iTenths - kMinReferenceTenths];
    if (!pTable)
    {
        float* p = AllocBuf(NUM_NOTES);
        if (!p)
            return 0;
        for (int k = 0; k < NUM_NOTES; ++k)
            p[k] = NoteFrequency(k);
        pTable = p;
    }
    g_pNoteFreq.store(pTable, std::memory_order_release);
    return 1;
}
