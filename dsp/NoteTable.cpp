#include "dsp/NoteTable.h"

#include <cmath>
#include <mutex>
#include <vector>

#include "base/Lock.h"
#include "dsp/Alloc.h"
#include "dsp/DspMath.h"
#include "dsp/ReferencePitch.h"

std::atomic<float*> g_pNoteFreq{nullptr};

namespace {

// The tables made in this run, one a reference. A table once published may still
// be read on another thread, so none is freed; there are at most 801 references
// (400.0 to 480.0 Hz in tenths), 400 bytes each.
struct Table
{
    int iTenths;
    float* p;
};
std::vector<Table> g_Tables;
CLock g_TablesLock;  // engines may be built on several threads at once (tools, tests)

float* TableFor(int iTenths)
{
    for (const Table& t : g_Tables)
        if (t.iTenths == iTenths)
            return t.p;
    return nullptr;
}

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
    std::lock_guard<CLock> hold(g_TablesLock);
    if (float* p = TableFor(iTenths))
    {
        g_pNoteFreq.store(p, std::memory_order_release);
        return 1;
    }
    float* p = AllocBuf(NUM_NOTES);
    if (!p)
        return 0;
    for (int k = 0; k < NUM_NOTES; ++k)
        p[k] = NoteFrequency(k);
    g_pNoteFreq.store(p, std::memory_order_release);
    g_Tables.push_back({iTenths, p});
    return 1;
}
