// Tuning to another A4 than 440 Hz: the value and its text, the targets of every
// tuning, the note table, the settings line and the cents beside the note. (A
// string tuned to the band read against it: the analyser's tests.)
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "dsp/NoteTable.h"
#include "dsp/ReferencePitch.h"
#include "dsp/StreamParams.h"
#include "tuner/ReadOut.h"
#include "tuner/Tuner2.h"

namespace {

// Every test leaves A4 at 440 Hz and its table published, as it found them.
class ReferencePitch : public ::testing::Test
{
protected:
    void TearDown() override
    {
        g_iReferenceTenths.store(kDefaultReferenceTenths);
        MakeNoteTable();
    }
};

TEST_F(ReferencePitch, TextAcceptedInTenthsFrom400To480)
{
    const struct { const char* szText; int iTenths; } cases[] = {
        {"442", 4420}, {"442.0", 4420}, {" 415.3 ", 4153}, {"400", 4000}, {"480.0", 4800}, {"440.", -1},
        {"399.9", -1}, {"480.1", -1}, {"442.25", -1}, {"-442", -1}, {"+442", -1}, {"4420", -1}, {"44 2", -1},
        {"442Hz", -1}, {"", -1}, {".5", -1}, {"0442.0", 4420}, {"1e3", -1},
    };
    for (const auto& c : cases)
    {
        int iTenths = -1;
        EXPECT_EQ(ParseReferenceA4(c.szText, &iTenths), c.iTenths >= 0) << "'" << c.szText << "'";
        EXPECT_EQ(iTenths, c.iTenths) << "'" << c.szText << "'";
        if (c.iTenths >= 0)
        {
            EXPECT_EQ(ReferenceText(c.iTenths), std::to_string(c.iTenths / 10) + "." + std::to_string(c.iTenths % 10));
        }
    }
    EXPECT_FALSE(ParseReferenceA4(nullptr, nullptr));
}

// The targets of a few strings of a few tunings, the Ref the panel shows and the
// nearest note of a string played at its target, at five references.
TEST_F(ReferencePitch, EveryTargetAndNoteScalesWithA4)
{
    SetStreamFormat(48000.0f, 1200);
    ASSERT_EQ(MakeNoteTable(), 1);
    Tuner2 tuner;
    ASSERT_EQ(tuner.Init(), 1);
    const struct { int iTuning, iString; float fAt440; const char* szNote; } strings[] = {
        {28, 0, 82.4069f, "E2"},  {28, 1, 110.0f, "A2"},   {28, 5, 329.628f, "E4"},
        {25, 0, 73.4162f, "D2"},  {0, 0, 36.7081f, "D1"},  {31, 5, 391.995f, "G4"},
    };
    for (const int iTenths : {4150, 4320, 4400, 4420, 4660})
    {
        SCOPED_TRACE("A4 = " + ReferenceText(iTenths));
        g_iReferenceTenths.store(iTenths);
        ASSERT_EQ(MakeNoteTable(), 1);
        tuner.UseReference();
        EXPECT_FLOAT_EQ(NoteFrequency(57), static_cast<float>(iTenths) / 10.0f);
        for (const auto& s : strings)
        {
            const float fScaled = s.fAt440 * static_cast<float>(iTenths) / 4400.0f;
            tuner.m_iSelectedTuning.store(s.iTuning);
            tuner.SelectString(s.iString);
            EXPECT_NEAR(tuner.m_fStringFreq[s.iTuning][s.iString], fScaled, 2e-3f) << s.szNote;
            EXPECT_EQ(tuner.m_fTargetFreq.load(), tuner.m_fStringFreq[s.iTuning][s.iString]);
            const int iNote = Tuner2::NearestNote(fScaled);
            EXPECT_EQ(std::string(g_szNoteName[iNote % 12]) + std::to_string(iNote / 12), s.szNote);
        }
    }
    tuner.Release();
}

TEST_F(ReferencePitch, CentsBesideTheNote)
{
    ASSERT_EQ(MakeNoteTable(), 1);
    const struct { float t, m; const char* szCents; } cases[] = {
        {110.0f, 110.0f, "0.0c"},      {110.0f, 110.5f, "+7.9c"},   {110.5f, 110.0f, "-7.9c"},
        {82.41f, 82.0f, "-8.6c"},      {110.0f, 116.0f, "+91.9c"},  {110.0f, 123.47f, "+200c"},
        {82.41f, 440.0f, "+999c"},     {110.0f, 0.5f, ""},          {0.0f, 41.205f, ""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(EvaluateReadOut(c.t, c.m, c.m).szCents, c.szCents) << "T " << c.t << ", M " << c.m;
}

TEST_F(ReferencePitch, SettingsLineAfterTheSeventh)
{
    const std::string kSeven = "48000\n1200\n1\n0\n0\n0\n0\n";
    const struct { std::string sLines; int iTenths; int iSkipped; } cases[] = {
        {"", 4400, 0},  {"reference_a4=442.0\n", 4420, 0}, {"reference_a4 = 415\n", 4150, 0},
        {"reference_a4=480.1\n", 4400, 1}, {"reference_a4=abc\n", 4400, 1}, {"reference_a4=\n", 4400, 1},
    };
    for (const auto& c : cases)
    {
        std::vector<std::string> asSkipped;
        const std::string sFile = kSeven + c.sLines;
        SettingsValues current;
        current.iReferenceTenths = 4660;  // a file's own line, or its absence, decides
        const SettingsValues v = ReadSettingsText(sFile.data(), sFile.size(), current, &asSkipped);
        EXPECT_EQ(v.iReferenceTenths, c.iTenths) << c.sLines;
        EXPECT_EQ(static_cast<int>(asSkipped.size()), c.iSkipped) << c.sLines;
        // Written back only when it is not 440, and read back the same.
        const std::string sWritten = WriteSettingsText(v);
        EXPECT_EQ(sWritten.find("reference_a4=") != std::string::npos, c.iTenths != 4400) << sWritten;
        EXPECT_EQ(ReadSettingsText(sWritten.data(), sWritten.size(), SettingsValues()).iReferenceTenths, c.iTenths);
    }
}

} // namespace
