// The tuner proper: the tunings table, the target string, the nearest-note search,
// the band search and the tracker running inside the whole engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "dsp/Analyser.h"
#include "dsp/NoteTable.h"
#include "dsp/SampleBuffer.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "tests/TestSupport.h"
#include "tools/OfflineTuner.h"
#include "tuner/Tuner2.h"

namespace {

// The 32 tunings as published to users: name and strings low to high, each
// string at its note's frequency rounded to two decimals.
const struct { const char *szName, *szNotes; } kTunings[32] = {
    {"Drop D1", "D1 A1 D2 G2 B2 E3"}, {"Drop Eb", "D#1 A#1 D#2 G#2 C3 F3"}, {"Octave", "E1 A1 D2 G2 B2 E3"},
    {"Drop E", "E1 B1 E2 A2 C#3 F#3"}, {"F", "F1 A#1 D#2 G#2 C3 F3"}, {"Drop F", "F1 C2 F2 A#2 D3 G3"},
    {"Gb", "F#1 B1 E2 A2 C#3 F#3"}, {"Drop Gb", "F#1 C#2 F#2 B2 D#3 G#3"}, {"G", "G1 C2 F2 A#2 D3 G3"},
    {"Drop G", "G1 D2 G2 C3 E3 A3"}, {"Ab", "G#1 C#2 F#2 B2 D#3 G#3"}, {"Drop Ab", "G#1 D#2 G#2 C#3 F3 A#3"},
    {"A", "A1 D2 G2 C3 E3 A3"}, {"Drop A", "A1 E2 A2 D3 F#3 B3"}, {"Bb", "A#1 D#2 G#2 C#3 F3 A#3"},
    {"Drop Bb", "A#1 F2 A#2 D#3 G3 C4"}, {"B", "B1 E2 A2 D3 F#3 B3"}, {"Drop B", "B1 F#2 B2 E3 G#3 C#4"},
    {"C", "C2 F2 A#2 D#3 G3 C4"}, {"Hardcore", "C2 G2 C3 F3 A3 A#3"}, {"Drop C", "C2 G2 C3 F3 A3 D4"},
    {"Db", "C#2 F#2 B2 E3 G#3 C#4"}, {"Drop Db", "C#2 G#2 C#3 F#3 A#3 D#4"}, {"Dsus4", "D2 A2 D3 G3 A3 D4"},
    {"D", "D2 G2 C3 F3 A3 D4"}, {"Drop D", "D2 A2 D3 G3 B3 E4"}, {"Eb", "D#2 G#2 C#3 F#3 A#3 D#4"},
    {"All 4ths", "E2 A2 D3 G3 C4 F4"}, {"E", "E2 A2 D3 G3 B3 E4"}, {"F", "F2 A#2 D#3 G#3 C4 F4"},
    {"Gb", "F#2 B2 E3 A3 C#4 F#4"}, {"G", "G2 C3 F3 A#3 D4 G4"},
};

// The frequency of string j of a row of notes, from the note table: "C#3" is
// note 12 x 3 + 1.
float NoteHz(const char* szNotes, int j)
{
    std::istringstream in(szNotes);
    std::string s;
    for (int k = 0; k <= j; ++k)
        in >> s;
    const auto* pName = std::find_if(std::begin(g_szNoteName), std::end(g_szNoteName),
                                     [&](const char* szName) { return s.substr(0, s.size() - 1) == szName; });
    return g_pNoteFreq.load()[12 * (s.back() - '0') + (pName - std::begin(g_szNoteName))];
}

// A row's strings as written on the buttons: note name and octave, e.g. "C#3".
std::string RowNotes(const Tuner2& t, int iRow)
{
    std::string s;
    for (int j = 0; j < Tuner2::kNumStrings; ++j)
        s += (j ? " " : "") + std::string(t.m_szStringNote[iRow][j]) + std::to_string(t.m_iStringOctave[iRow][j]);
    return s;
}

// A tuner unit on its own, made as the engine makes it, reading the held band
// peaks of a real analyser that the tests set.
class Tuner2Unit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 1200);
        ASSERT_EQ(1, MakeNoteTable());
        ASSERT_EQ(1, m_Analyser.Init());
        m_Tuner.Attach(&m_Analyser);
        ASSERT_EQ(1, m_Tuner.Init());
        ASSERT_EQ(1, m_Input.Init("Tuner2Test", "m_Input", g_iBufMonoLen, g_iBlockSize));
    }
    void TearDown() override
    {
        m_Input.Release("Tuner2Test", "m_Input");
        m_Tuner.Release();
        m_Analyser.Release();
    }

    // Sets the held peaks (all others 0), runs a silent block, returns the band.
    float Track(std::initializer_list<std::pair<int, float>> peaks)
    {
        std::fill(m_Analyser.m_pHeldPeak[0], m_Analyser.m_pHeldPeak[0] + m_Analyser.NumBands(), 0.0f);
        for (const auto& p : peaks)
            m_Analyser.m_pHeldPeak[0][p.first] = p.second;
        m_Tuner.Process(&m_Input, m_iOffset);
        m_iOffset = g_iBlockSize - m_iOffset;
        return m_Tuner.m_fTrackingFreq.load();
    }

    Analyser m_Analyser;
    Tuner2 m_Tuner;
    CSampleBuffer m_Input;
    int m_iOffset = 0;
};

TEST_F(Tuner2Unit, EveryInitHasThe32TuningsAsPublishedAndNoPitch)
{
    for (int iInit = 1; iInit <= 2; ++iInit)
    {
        SCOPED_TRACE("init " + std::to_string(iInit));
        ASSERT_EQ(32, m_Tuner.m_iNumTunings.load());
        for (int i = 0; i < 32; ++i)
        {
            SCOPED_TRACE("tuning " + std::to_string(i));
            EXPECT_STREQ(kTunings[i].szName, m_Tuner.m_szTuningName[i]);
            EXPECT_EQ(kTunings[i].szNotes, RowNotes(m_Tuner, i));
            for (int j = 0; j < 6; ++j)
                EXPECT_NEAR(NoteHz(kTunings[i].szNotes, j), m_Tuner.m_fStringFreq[i][j], 0.01) << "string " << j;
        }
        // A (re)start forgets the last pitch and targets the selected string: the
        // first one standard tuning's low E, the second the D string chosen since,
        // whose button stays lit across the restart.
        EXPECT_EQ(0.0f, m_Tuner.m_fMeasuredFreq.load());
        EXPECT_EQ(0.0f, m_Tuner.m_Tuner.Measured());
        EXPECT_NEAR(iInit == 1 ? 82.41f : 146.83f, m_Tuner.m_fTargetFreq.load(), 0.005f);
        m_Tuner.m_fMeasuredFreq.store(5.0f);
        m_Tuner.SelectString(2);
        m_Tuner.m_Tuner.SetMeasured(5.0f);
        m_Tuner.Release();
        ASSERT_EQ(1, m_Tuner.Init());
    }
    m_Tuner.SelectString(0);
}

TEST_F(Tuner2Unit, AddTuningShiftsByTruncatedSemitonesAndRefusesWhatDoesNotFit)
{
    // 2 x -0.75 tones truncate to 1 semitone down (not rounded or floored to 2).
    ASSERT_EQ(1, m_Tuner.AddTuning(4, -0.75f, "Down"));
    EXPECT_EQ("B1 F#2 B2 E3 G#3 A3", RowNotes(m_Tuner, 32));
    EXPECT_STREQ("Down", m_Tuner.m_szTuningName[32]);

    // Shapes are 0 to 4; every string must lie in the note table (all fourths at
    // +23.5 tones put the top string on note 100); a row needs a name.
    for (const auto& [iShape, fTones, szName] :
         {std::tuple<int, float, const char*>{5, 0.0f, "Bad"}, {-1, 0.0f, "Bad"}, {0, -14.5f, "Bad"}, {3, 23.5f, "Bad"},
          {0, 0.0f, nullptr}})
        EXPECT_EQ(0, m_Tuner.AddTuning(iShape, fTones, szName)) << iShape << " " << fTones;
    EXPECT_EQ(33, m_Tuner.m_iNumTunings.load());

    // Notes 0 and 99 are the ends of the table; room for 100 rows and no more.
    ASSERT_EQ(1, m_Tuner.AddTuning(0, -14.0f, "Lowest"));
    while (m_Tuner.m_iNumTunings.load() < Tuner2::kMaxTunings)
        ASSERT_EQ(1, m_Tuner.AddTuning(3, 23.0f, "Fill"));
    EXPECT_EQ(0, m_Tuner.AddTuning(0, 0.0f, "Overflow"));
    EXPECT_EQ(100, m_Tuner.m_iNumTunings.load());
}

TEST_F(Tuner2Unit, SelectStringTakesTheTargetFromTheSelectedTuning)
{
    // A string outside 0..5 changes nothing; a tuning outside the table keeps the
    // target but still takes the string, for when the table exists.
    for (const auto& [iTuning, iString] : {std::pair{0, 0}, {31, 5}, {19, 5}, {28, 1}, {28, -1}, {28, 6}, {32, 3}})
    {
        SCOPED_TRACE("tuning " + std::to_string(iTuning) + ", string " + std::to_string(iString));
        const bool bString = iString >= 0 && iString < 6;
        const bool bValid = iTuning < 32 && bString;
        const int iBefore = m_Tuner.m_iSelectedString.load();
        const float fBefore = m_Tuner.m_fTargetFreq.load();
        m_Tuner.m_iSelectedTuning.store(iTuning);
        m_Tuner.SelectString(iString);
        EXPECT_EQ(bString ? iString : iBefore, m_Tuner.m_iSelectedString.load());
        EXPECT_NEAR(bValid ? NoteHz(kTunings[iTuning].szNotes, iString) : fBefore, m_Tuner.m_fTargetFreq.load(), 0.01);
    }
}

TEST_F(Tuner2Unit, NearestNoteTiesToTheLowerNote)
{
    // Every note is its own nearest, and beyond the ends the end notes are. Where
    // the midpoint of two neighbours is a float, both distances are equal and
    // exact: the lower note wins, and the next float up goes to the upper.
    const float* note = g_pNoteFreq.load();
    EXPECT_EQ(0, Tuner2::NearestNote(0.0f));
    EXPECT_EQ(99, Tuner2::NearestNote(6000.0f));
    for (int k = 0; k < NUM_NOTES; ++k)
        EXPECT_EQ(k, Tuner2::NearestNote(note[k])) << "note " << k;
    int iTies = 0;
    for (int k = 0; k + 1 < NUM_NOTES; ++k)
    {
        const double mid = (static_cast<double>(note[k]) + note[k + 1]) / 2.0;
        const float f = static_cast<float>(mid);
        if (static_cast<double>(f) != mid)
            continue;
        ++iTies;
        EXPECT_EQ(k, Tuner2::NearestNote(f)) << "midpoint of notes " << k << " and " << k + 1;
        EXPECT_EQ(k + 1, Tuner2::NearestNote(std::nextafter(f, 1e9f)));
    }
    EXPECT_GE(iTies, 10);
}

TEST_F(Tuner2Unit, BandOfTheLowestSoundingNoteIsTracked)
{
    using Peaks = std::initializer_list<std::pair<int, float>>;
    const struct { const char* szCase; Peaks peaks; int iBand; } kCases[] = {
        {"lowest of two notes alike", {{12, 900.0f}, {31, 1000.0f}}, 12},
        {"the fixed level does not count", {{12, Tuner2::kBandThreshold}, {30, 150.0f}}, 30},
        {"a note far under the loudest is not the one played", {{17, 300.0f}, {36, 2000.0f}}, 36},
        {"a skirt is no note: the peak above it is", {{16, 400.0f}, {17, 1000.0f}, {18, 300.0f}}, 17},
        {"a slope of rumble is no note", {{0, 300.0f}, {1, 280.0f}, {2, 260.0f}, {24, 1000.0f}}, 24},
        {"a fundamental 30 dB under its octave", {{12, 35.0f}, {24, 1100.0f}}, 12},
        {"but not one 40 dB under", {{12, 11.0f}, {24, 1100.0f}}, 24},
        {"strings under the bank: its lowest band", {{0, 60.0f}, {10, 2000.0f}}, 0},
        {"the top band", {{59, 101.0f}}, 59},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(m_Analyser.BandFrequency(c.iBand), Track(c.peaks)) << c.szCase;

    // While a string fades its fundamental may fall under its octave and twelfth:
    // they stay its partials as long as it holds a clear peak.
    Track({{17, 1000.0f}, {36, 800.0f}});
    EXPECT_EQ(m_Analyser.BandFrequency(17), Track({{17, 90.0f}, {36, 800.0f}}));
    EXPECT_EQ(m_Analyser.BandFrequency(36), Track({{17, 5.0f}, {36, 800.0f}}));

    // While a band sounds, the estimate is copied and named: 246.9 Hz is a B.
    m_Tuner.m_Tuner.SetMeasured(246.9f);
    Track({{36, 500.0f}});
    EXPECT_EQ(246.9f, m_Tuner.m_fMeasuredFreq.load());
    EXPECT_EQ(12.0f, m_Tuner.m_fNoteNumber.load());
    // A new note withdraws the old one's estimate until its own run is complete.
    Track({{12, 500.0f}});
    EXPECT_EQ(0.0f, m_Tuner.m_fMeasuredFreq.load());
}

TEST(Tuner2InEngine, ToneAt110HzReadsAThenSilenceClearsOnlyTheEstimate)
{
    OfflineTuner offline;
    std::string sError;
    ASSERT_TRUE(offline.Start(48000.0f, OfflineTunerOptions(), &sError)) << sError;
    const Analyser& analyser = offline.Engine().m_Analyser;
    const Tuner2& t = offline.Engine().m_Tuner2;
    // A second at a moderate level: loud enough for its own band, too quiet to
    // lift the band below it.
    std::vector<float> x(48000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(400.0 * std::sin(2.0 * kPi * 110.0 * static_cast<double>(i) / 48000.0));
    offline.Run(x.data(), nullptr, x.size());
    EXPECT_EQ(analyser.BandFrequency(17), t.m_fTrackingFreq.load());  // 110.004 Hz
    EXPECT_NEAR(110.0, t.m_Tuner.Measured(), 0.05);
    EXPECT_EQ(10.0f, t.m_fNoteNumber.load());

    // The estimate is withdrawn in the first silent block whose held peaks are all
    // at or below the threshold, not before: until then the tracker goes on
    // measuring the fading band. The note number and the band keep what they had.
    const float* pPeaks = analyser.m_pHeldPeak[0];
    auto sounding = [&] { return *std::max_element(pPeaks, pPeaks + analyser.NumBands()) > Tuner2::kBandThreshold; };
    float fNote = 0.0f, fTracking = 0.0f;
    const std::vector<float> silence(1200, 0.0f);
    for (int b = 0; b < 12 && sounding(); ++b)
    {
        ASSERT_NE(0.0f, t.m_Tuner.Measured()) << "silent block " << b;
        fNote = t.m_fNoteNumber.load();
        fTracking = t.m_fTrackingFreq.load();
        offline.Feed(silence.data(), nullptr);
    }
    ASSERT_FALSE(sounding()) << "the held peaks never fell to the threshold";
    EXPECT_EQ(0.0f, t.m_Tuner.Measured());
    EXPECT_EQ(fNote, t.m_fNoteNumber.load());
    EXPECT_EQ(fTracking, t.m_fTrackingFreq.load());
}

} // namespace
