#include "tuner/ReadOut.h"

#include <cstdio>

#include "engine/NoteTable.h"
#include "tuner/Tuner2.h"

ReadOut EvaluateReadOut(float fTarget, float fMeasured, float fMeasuredCopy)
{
    ReadOut r;
    float d = (fTarget - fMeasured) * 10.0f;
    if (d > kDeviationLimit)
        d = kDeviationLimit;
    if (d < -kDeviationLimit)
        d = -kDeviationLimit;
    r.fDeviation = d;

    const int iMeasured = static_cast<int>(fMeasured);
    r.bPitch = iMeasured != 0;
    r.bBar = iMeasured > 0;
    r.iBarEnd = 320 - static_cast<int>(d);

    if (d < -kInTuneBand)
        r.eLit = iMeasured > 0 ? Guidance::TuneDown : Guidance::None;
    else if (d > kInTuneBand)
        r.eLit = iMeasured > 0 ? Guidance::TuneUp : Guidance::None;
    else
        r.eLit = iMeasured != 0 ? Guidance::InTune : Guidance::None;

    if (r.bPitch)
    {
        const int iNote = Tuner2::NearestNote(fMeasuredCopy);
        std::snprintf(r.szNote, sizeof(r.szNote), "%s%d", g_szNoteName[iNote % 12], iNote / 12);
    }
    return r;
}

const char* GuidanceText(Guidance eGuidance)
{
    switch (eGuidance)
    {
    case Guidance::TuneUp: return "tune up";
    case Guidance::InTune: return "in tune";
    case Guidance::TuneDown: return "tune down";
    default: return "";
    }
}
