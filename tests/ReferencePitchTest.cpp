// Tuning to another A4 than 440 Hz: the value and its text, the targets of every
// tuning, the note table, the settings line, the cents beside the note, and a
// string tuned to the band's pitch read against it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "dsp/NoteTable.h"
#include "dsp/ReferencePitch.h"
#include "dsp/StreamParams.h"
#include "tools/OfflineTuner.h"
#include "tools/PluckedString.h"
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

// The word the read-out settles on for a plucked A string at fHz, against the
// standard tuning's A string at the current reference.
std::string SettledWord(float fHz)
{
    PluckedStringParams p;
    p.fFrequency = fHz;
    const std::vector<float> samples = RenderPluckedString(p);
    OfflineTuner tuner;
    OfflineTunerOptions options;
    options.iString = 1;
    std::string sError;
    if (!tuner.Start(48000.0f, options, &sError))
        return "no start: " + sError;
    const std::vector<OfflineTunerRow> rows = tuner.Run(samples.data(), nullptr, samples.size());
    return rows.empty() ? "" : GuidanceText(rows.back().readOut.eLit);
}

// The Hz rule decides the word at any reference: an A string tuned to A4 = 442
// (110.5 Hz) is in tune there and 0.5 Hz sharp of 440's; one tuned to 440 is flat
// of 442's.
TEST_F(ReferencePitch, AStringTunedToTheBandReadsAgainstIt)
{
    const struct { int iTenths; float fHz; const char* szWord; } cases[] = {
        {4420, 110.5f, "in tune"}, {4400, 110.5f, "tune down"}, {4420, 110.0f, "tune up"}, {4400, 110.0f, "in tune"},
    };
    for (const auto& c : cases)
    {
        g_iReferenceTenths.store(c.iTenths);
        EXPECT_EQ(SettledWord(c.fHz), c.szWord) << c.fHz << " Hz at A4 = " << ReferenceText(c.iTenths);
    }
}

} // namespace
