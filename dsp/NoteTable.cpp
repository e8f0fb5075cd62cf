#include "dsp/NoteTable.h"

#include <cmath>
#include <mutex>

#include "base/Lock.h"
#include "dsp/Alloc.h"
#include "dsp/DspMath.h"
#include "dsp/ReferencePitch.h"

std::atomic<float*> g_pNoteFreq{nullptr};

namespace {

// The tables made in this run, by reference; a table once published may still be
// read on another thread, so one made for another reference is kept, not freed.
constexpr int kMaxTables = 16;
struct Table
{
    int iTenths;
    float* p;
};
Table g_aTables[kMaxTables];
int g_iNumTables = 0;
CLock g_TablesLock;  // engines may be built on several threads at once (tools, tests)

float* TableFor(int iTenths)
{
    for (int i = 0; i < g_iNumTables; ++i)
        if (g_aTables[i].iTenths == iTenths)
            return g_aTables[i].p;
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
    // Past kMaxTables references in one run the last slot takes each new table,
    // and the one it held is left behind (400 bytes a change, not a restart).
    const int iSlot = g_iNumTables < kMaxTables ? g_iNumTables++ : kMaxTables - 1;
    g_aTables[iSlot] = {iTenths, p};
    return 1;
}
