#include <gtest/gtest.h>

#include <string>

#include "engine/NoteTable.h"
#include "tuner/ReadOut.h"

namespace {

struct ReadOutCase
{
    float target, measured;
    float deviation;
    Guidance lit;
    int barEnd;
};

class ReadOutTest : public ::testing::TestWithParam<ReadOutCase>
{
protected:
    void SetUp() override { ASSERT_EQ(MakeNoteTable(), 1); }
};

TEST_P(ReadOutTest, DeviationGuidanceAndBar)
{
    const ReadOutCase& c = GetParam();
    const ReadOut r = EvaluateReadOut(c.target, c.measured, c.measured);
    EXPECT_NEAR(r.fDeviation, c.deviation, 1e-3f);
    EXPECT_EQ(r.eLit, c.lit);
    EXPECT_TRUE(r.bBar);
    EXPECT_EQ(r.iBarEnd, c.barEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadOutTest,
    ::testing::Values(ReadOutCase{82.41f, 82.41f, 0.0f, Guidance::InTune, 320},
                      ReadOutCase{82.41f, 82.00f, 4.1f, Guidance::TuneUp, 316},
                      ReadOutCase{100.0f, 99.75f, 2.5f, Guidance::InTune, 318},
                      ReadOutCase{100.0f, 99.5f, 5.0f, Guidance::TuneUp, 315},
                      ReadOutCase{100.0f, 100.25f, -2.5f, Guidance::InTune, 322},
                      ReadOutCase{100.0f, 100.5f, -5.0f, Guidance::TuneDown, 325},
                      // Clamped at 99 pixels either way.
                      ReadOutCase{100.0f, 80.0f, 99.0f, Guidance::TuneUp, 221},
                      ReadOutCase{100.0f, 150.0f, -99.0f, Guidance::TuneDown, 419}));

TEST(ReadOut, NoPitchShowsNothing)
{
    for (float m : {0.0f, 0.5f, 0.99f})
    {
        const ReadOut r = EvaluateReadOut(82.41f, m, 82.41f);
        EXPECT_FALSE(r.bPitch) << m;
        EXPECT_FALSE(r.bBar) << m;
        EXPECT_EQ(r.eLit, Guidance::None) << m;
        EXPECT_STREQ(r.szNote, " ");
    }
}

TEST(ReadOut, NoteComesFromTheTrackersCopy)
{
    ASSERT_EQ(MakeNoteTable(), 1);
    EXPECT_STREQ(EvaluateReadOut(110.0f, 110.2f, 110.2f).szNote, "A2");
    EXPECT_STREQ(EvaluateReadOut(140.0f, 138.0f, 138.59f).szNote, "C#3");
    EXPECT_STREQ(EvaluateReadOut(82.41f, 82.0f, 329.0f).szNote, "E4");
    EXPECT_STREQ(EvaluateReadOut(82.41f, 82.0f, 0.0f).szNote, "C0");
}

TEST(ReadOut, BeforeAnyStreamTheConstructionValuesReadSharp)
{
    // Estimator still at its construction value, target not yet set.
    const ReadOut r = EvaluateReadOut(0.0f, 41.205f, 0.0f);
    EXPECT_EQ(r.eLit, Guidance::TuneDown);
    EXPECT_EQ(r.iBarEnd, 419);
    EXPECT_STREQ(r.szNote, "C0");
}

TEST(ReadOut, GuidanceWords)
{
    EXPECT_EQ(std::string(GuidanceText(Guidance::TuneUp)), "tune up");
    EXPECT_EQ(std::string(GuidanceText(Guidance::InTune)), "in tune");
    EXPECT_EQ(std::string(GuidanceText(Guidance::TuneDown)), "tune down");
    EXPECT_EQ(std::string(GuidanceText(Guidance::None)), "");
}

} // namespace
