#include <gtest/gtest.h>

#include "dsp/NoteTable.h"
#include "tuner/ReadOut.h"

namespace {

// The read-out for a target T, the estimator's M and the tracker's copy F: the
// deviation, the word lit, the bar's end (-1: no bar, no pitch) and the note, which
// comes from the copy.
TEST(ReadOut, DeviationWordBarAndNote)
{
    ASSERT_EQ(MakeNoteTable(), 1);
    const struct { float t, m, f, deviation; const char* szWord; int iBarEnd; const char* szNote; } cases[] = {
        {82.41f, 82.41f, 82.41f, 0.0f, "in tune", 320, "E2"},
        {82.41f, 82.00f, 82.00f, 4.1f, "tune up", 316, "E2"},
        {100.0f, 99.75f, 99.75f, 2.5f, "in tune", 318, nullptr},
        {100.0f, 99.5f, 99.5f, 5.0f, "tune up", 315, nullptr},
        {100.0f, 100.25f, 100.25f, -2.5f, "in tune", 322, nullptr},
        {100.0f, 100.5f, 100.5f, -5.0f, "tune down", 325, nullptr},
        // Clamped at 99 pixels either way.
        {100.0f, 80.0f, 80.0f, 99.0f, "tune up", 221, nullptr},
        {100.0f, 150.0f, 150.0f, -99.0f, "tune down", 419, nullptr},
        {110.0f, 110.25f, 110.25f, -2.5f, "in tune", 322, "A2"},
        {140.0f, 138.0f, 138.59f, 20.0f, "tune up", 300, "C#3"},
        {82.41f, 82.0f, 329.0f, 4.1f, "tune up", 316, "E4"},
        {82.41f, 82.0f, 0.0f, 4.1f, "tune up", 316, "C0"},
        // Before any stream: the estimator's construction value, no target yet.
        {0.0f, 41.205f, 0.0f, -99.0f, "tune down", 419, "C0"},
        // Under 1 Hz there is no pitch: nothing shown.
        {82.41f, 0.0f, 82.41f, 0.0f, "", -1, " "},
        {82.41f, 0.5f, 82.41f, 0.0f, "", -1, " "},
        {82.41f, 0.99f, 82.41f, 0.0f, "", -1, " "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "T " << c.t << ", M " << c.m << ", F " << c.f);
        const ReadOut r = EvaluateReadOut(c.t, c.m, c.f);
        EXPECT_STREQ(GuidanceText(r.eLit), c.szWord);
        EXPECT_EQ(r.bPitch, c.iBarEnd >= 0);
        EXPECT_EQ(r.bBar, c.iBarEnd >= 0);
        if (c.iBarEnd >= 0)
        {
            EXPECT_NEAR(r.fDeviation, c.deviation, 1e-3f);
            EXPECT_EQ(r.iBarEnd, c.iBarEnd);
        }
        if (c.szNote)
        {
            EXPECT_STREQ(r.szNote, c.szNote);
        }
    }
}

} // namespace
