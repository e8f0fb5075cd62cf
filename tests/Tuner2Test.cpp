// The tuner proper: the tunings table, the target string, the nearest-note search,
// the band search and the tracker running inside the whole engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/Analyser.h"
#include "engine/DspEngine.h"
#include "engine/NoteTable.h"
#include "engine/SampleBuffer.h"
#include "engine/StreamParams.h"
#include "tuner/Tuner2.h"

namespace {

// The 32 tunings as published to users: name, strings low to high, and their
// frequencies rounded to two decimals.
struct TuningRow
{
    const char* szName;
    const char* szNotes;
    float afFreq[6];
};

const TuningRow kTunings[32] = {
    {"Drop D1", "D1 A1 D2 G2 B2 E3", {36.71f, 55.00f, 73.42f, 98.00f, 123.47f, 164.81f}},
    {"Drop Eb", "D#1 A#1 D#2 G#2 C3 F3", {38.89f, 58.27f, 77.78f, 103.83f, 130.81f, 174.61f}},
    {"Octave", "E1 A1 D2 G2 B2 E3", {41.20f, 55.00f, 73.42f, 98.00f, 123.47f, 164.81f}},
    {"Drop E", "E1 B1 E2 A2 C#3 F#3", {41.20f, 61.74f, 82.41f, 110.00f, 138.59f, 185.00f}},
    {"F", "F1 A#1 D#2 G#2 C3 F3", {43.65f, 58.27f, 77.78f, 103.83f, 130.81f, 174.61f}},
    {"Drop F", "F1 C2 F2 A#2 D3 G3", {43.65f, 65.41f, 87.31f, 116.54f, 146.83f, 196.00f}},
    {"Gb", "F#1 B1 E2 A2 C#3 F#3", {46.25f, 61.74f, 82.41f, 110.00f, 138.59f, 185.00f}},
    {"Drop Gb", "F#1 C#2 F#2 B2 D#3 G#3", {46.25f, 69.30f, 92.50f, 123.47f, 155.56f, 207.65f}},
    {"G", "G1 C2 F2 A#2 D3 G3", {49.00f, 65.41f, 87.31f, 116.54f, 146.83f, 196.00f}},
    {"Drop G", "G1 D2 G2 C3 E3 A3", {49.00f, 73.42f, 98.00f, 130.81f, 164.81f, 220.00f}},
    {"Ab", "G#1 C#2 F#2 B2 D#3 G#3", {51.91f, 69.30f, 92.50f, 123.47f, 155.56f, 207.65f}},
    {"Drop Ab", "G#1 D#2 G#2 C#3 F3 A#3", {51.91f, 77.78f, 103.83f, 138.59f, 174.61f, 233.08f}},
    {"A", "A1 D2 G2 C3 E3 A3", {55.00f, 73.42f, 98.00f, 130.81f, 164.81f, 220.00f}},
    {"Drop A", "A1 E2 A2 D3 F#3 B3", {55.00f, 82.41f, 110.00f, 146.83f, 185.00f, 246.94f}},
    {"Bb", "A#1 D#2 G#2 C#3 F3 A#3", {58.27f, 77.78f, 103.83f, 138.59f, 174.61f, 233.08f}},
    {"Drop Bb", "A#1 F2 A#2 D#3 G3 C4", {58.27f, 87.31f, 116.54f, 155.56f, 196.00f, 261.63f}},
    {"B", "B1 E2 A2 D3 F#3 B3", {61.74f, 82.41f, 110.00f, 146.83f, 185.00f, 246.94f}},
    {"Drop B", "B1 F#2 B2 E3 G#3 C#4", {61.74f, 92.50f, 123.47f, 164.81f, 207.65f, 277.18f}},
    {"C", "C2 F2 A#2 D#3 G3 C4", {65.41f, 87.31f, 116.54f, 155.56f, 196.00f, 261.63f}},
    {"Hardcore", "C2 G2 C3 F3 A3 A#3", {65.41f, 98.00f, 130.81f, 174.61f, 220.00f, 233.08f}},
    {"Drop C", "C2 G2 C3 F3 A3 D4", {65.41f, 98.00f, 130.81f, 174.61f, 220.00f, 293.66f}},
    {"Db", "C#2 F#2 B2 E3 G#3 C#4", {69.30f, 92.50f, 123.47f, 164.81f, 207.65f, 277.18f}},
    {"Drop Db", "C#2 G#2 C#3 F#3 A#3 D#4", {69.30f, 103.83f, 138.59f, 185.00f, 233.08f, 311.13f}},
    {"Dsus4", "D2 A2 D3 G3 A3 D4", {73.42f, 110.00f, 146.83f, 196.00f, 220.00f, 293.66f}},
    {"D", "D2 G2 C3 F3 A3 D4", {73.42f, 98.00f, 130.81f, 174.61f, 220.00f, 293.66f}},
    {"Drop D", "D2 A2 D3 G3 B3 E4", {73.42f, 110.00f, 146.83f, 196.00f, 246.94f, 329.63f}},
    {"Eb", "D#2 G#2 C#3 F#3 A#3 D#4", {77.78f, 103.83f, 138.59f, 185.00f, 233.08f, 311.13f}},
    {"All 4ths", "E2 A2 D3 G3 C4 F4", {82.41f, 110.00f, 146.83f, 196.00f, 261.63f, 349.23f}},
    {"E", "E2 A2 D3 G3 B3 E4", {82.41f, 110.00f, 146.83f, 196.00f, 246.94f, 329.63f}},
    {"F", "F2 A#2 D#3 G#3 C4 F4", {87.31f, 116.54f, 155.56f, 207.65f, 261.63f, 349.23f}},
    {"Gb", "F#2 B2 E3 A3 C#4 F#4", {92.50f, 123.47f, 164.81f, 220.00f, 277.18f, 369.99f}},
    {"G", "G2 C3 F3 A#3 D4 G4", {98.00f, 130.81f, 174.61f, 233.08f, 293.66f, 392.00f}},
};

std::vector<std::string> Words(const char* szText)
{
    std::istringstream in(szText);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

// How a row's string is written: note name and octave, e.g. "C#3".
std::string StringLabel(const Tuner2& tuner, int iRow, int iString)
{
    return std::string(tuner.m_szStringNote[iRow][iString]) + std::to_string(tuner.m_iStringOctave[iRow][iString]);
}

std::vector<std::string> RowLabels(const Tuner2& tuner, int iRow)
{
    std::vector<std::string> labels;
    for (int j = 0; j < Tuner2::kNumStrings; ++j)
        labels.push_back(StringLabel(tuner, iRow, j));
    return labels;
}

// A tuner unit on its own, made as the engine makes it.
class Tuner2Alone : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 1200);
        ASSERT_EQ(1, MakeNoteTable());
        m_pTuner.reset(new Tuner2);
        ASSERT_EQ(1, m_pTuner->Init());
    }
    void TearDown() override
    {
        if (m_pTuner)
            m_pTuner->Release();
    }

    std::unique_ptr<Tuner2> m_pTuner;
};

TEST_F(Tuner2Alone, TableHoldsThe32TuningsAsPublished)
{
    const Tuner2& t = *m_pTuner;
    ASSERT_EQ(32, t.m_iNumTunings.load());
    for (int i = 0; i < 32; ++i)
    {
        SCOPED_TRACE("tuning " + std::to_string(i));
        EXPECT_STREQ(kTunings[i].szName, t.m_szTuningName[i]);
        EXPECT_EQ(Words(kTunings[i].szNotes), RowLabels(t, i));
        for (int j = 0; j < 6; ++j)
            EXPECT_NEAR(kTunings[i].afFreq[j], t.m_fStringFreq[i][j], 0.01) << "string " << j;
    }
}

TEST_F(Tuner2Alone, StandardAndLowestRowsAndRepeatedNames)
{
    const Tuner2& t = *m_pTuner;
    EXPECT_STREQ("E", t.m_szTuningName[28]);
    const float afStandard[6] = {82.41f, 110.00f, 146.83f, 196.00f, 246.94f, 329.63f};
    for (int j = 0; j < 6; ++j)
        EXPECT_NEAR(afStandard[j], t.m_fStringFreq[28][j], 0.01);
    EXPECT_STREQ("Drop D1", t.m_szTuningName[0]);
    EXPECT_NEAR(36.71, t.m_fStringFreq[0][0], 0.01);

    // "F", "Gb" and "G" each name two tunings an octave apart; only the index
    // tells them apart.
    const std::pair<int, int> twins[] = {{4, 29}, {6, 30}, {8, 31}};
    for (const auto& tw : twins)
    {
        EXPECT_STREQ(t.m_szTuningName[tw.first], t.m_szTuningName[tw.second]);
        for (int j = 0; j < 6; ++j)
        {
            EXPECT_EQ(t.m_szStringNote[tw.first][j], std::string(t.m_szStringNote[tw.second][j]));
            EXPECT_NEAR(2.0 * t.m_fStringFreq[tw.first][j], t.m_fStringFreq[tw.second][j], 0.01);
        }
    }
}

TEST_F(Tuner2Alone, InitAgainKeepsExactly32Tunings)
{
    ASSERT_EQ(32, m_pTuner->m_iNumTunings.load());
    const std::vector<std::string> before = RowLabels(*m_pTuner, 31);
    for (int i = 0; i < 2; ++i)
    {
        m_pTuner->Release();
        ASSERT_EQ(1, m_pTuner->Init());
    }
    EXPECT_EQ(32, m_pTuner->m_iNumTunings.load());
    EXPECT_EQ(before, RowLabels(*m_pTuner, 31));
    EXPECT_STREQ("G", m_pTuner->m_szTuningName[31]);
}

TEST_F(Tuner2Alone, AddTuningShiftsByTruncatedSemitonesAndRefusesWhatDoesNotFit)
{
    Tuner2& t = *m_pTuner;
    ASSERT_EQ(32, t.m_iNumTunings.load());

    // 2 x 0.75 truncates to 1 semitone up, 2 x -0.75 to 1 down.
    ASSERT_EQ(1, t.AddTuning(3, 0.75f, "Up"));
    EXPECT_EQ(Words("F2 A#2 D#3 G#3 C#4 F#4"), RowLabels(t, 32));
    ASSERT_EQ(1, t.AddTuning(4, -0.75f, "Down"));
    EXPECT_EQ(Words("B1 F#2 B2 E3 G#3 A3"), RowLabels(t, 33));
    EXPECT_STREQ("Down", t.m_szTuningName[33]);

    // Shapes exist for 0 to 4 only.
    EXPECT_EQ(0, t.AddTuning(5, 0.0f, "Bad"));
    EXPECT_EQ(0, t.AddTuning(-1, 0.0f, "Bad"));
    EXPECT_EQ(34, t.m_iNumTunings.load());

    // Room for 100 rows and no more.
    while (t.m_iNumTunings.load() < Tuner2::kMaxTunings)
        ASSERT_EQ(1, t.AddTuning(0, 0.0f, "Fill"));
    EXPECT_EQ(0, t.AddTuning(0, 0.0f, "Overflow"));
    EXPECT_EQ(100, t.m_iNumTunings.load());
    EXPECT_STREQ("Fill", t.m_szTuningName[99]);
}

TEST_F(Tuner2Alone, SelectStringTakesTheTargetFromTheSelectedTuning)
{
    Tuner2& t = *m_pTuner;
    struct Pick
    {
        int iTuning, iString;
        float fHz;
    };
    const Pick picks[] = {{0, 0, 36.71f}, {31, 5, 392.00f}, {19, 5, 233.08f}, {28, 1, 110.00f}};
    for (const Pick& p : picks)
    {
        t.m_iSelectedTuning.store(p.iTuning);
        t.SelectString(p.iString);
        EXPECT_EQ(p.iString, t.m_iSelectedString.load());
        EXPECT_NEAR(p.fHz, t.m_fTargetFreq.load(), 0.01) << "tuning " << p.iTuning << " string " << p.iString;
    }
    // There are six strings; anything else changes nothing.
    for (int iBad : {-1, 6})
    {
        t.SelectString(iBad);
        EXPECT_EQ(1, t.m_iSelectedString.load());
        EXPECT_NEAR(110.00, t.m_fTargetFreq.load(), 0.01);
    }
}

TEST(Tuner2NearestNote, ExactNotesAndTiesToTheLowerNote)
{
    SetStreamFormat(48000.0f, 1200);
    ASSERT_EQ(1, MakeNoteTable());
    const float* note = g_pNoteFreq.load();
    for (int k = 0; k < NUM_NOTES; ++k)
        EXPECT_EQ(k, Tuner2::NearestNote(note[k])) << "note " << k;
    EXPECT_EQ(57, Tuner2::NearestNote(440.0f));
    EXPECT_EQ(45, Tuner2::NearestNote(220.0f));

    // Where the midpoint of two neighbours is a float, both distances are equal
    // and exact; the lower note wins, and the next float up goes to the upper.
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

    // Below and above the table.
    EXPECT_EQ(0, Tuner2::NearestNote(0.0f));
    EXPECT_EQ(99, Tuner2::NearestNote(6000.0f));
}

// The band search on its own: a real analyser whose held peaks the test sets.
class Tuner2BandSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 1200);
        ASSERT_EQ(1, MakeNoteTable());
        ASSERT_EQ(1, m_Analyser.Init());
        m_pTuner.reset(new Tuner2);
        m_pTuner->Attach(&m_Analyser);
        ASSERT_EQ(1, m_pTuner->Init());
        ASSERT_EQ(1, m_Input.Init("Tuner2Test", "m_Input", g_iBufMonoLen, g_iBlockSize));
        ASSERT_EQ(60, m_Analyser.NumBands());
    }
    void TearDown() override
    {
        m_Input.Release("Tuner2Test", "m_Input");
        if (m_pTuner)
            m_pTuner->Release();
        m_Analyser.Release();
    }

    void SetPeaks(std::initializer_list<std::pair<int, float>> peaks)
    {
        for (int b = 0; b < 60; ++b)
            m_Analyser.m_pHeldPeak[0][b] = 0.0f;
        for (const auto& p : peaks)
            m_Analyser.m_pHeldPeak[0][p.first] = p.second;
    }

    // Runs one (silent) block and returns the tracking frequency.
    float Track()
    {
        m_pTuner->Process(&m_Input, m_iOffset);
        m_iOffset = m_iOffset == 0 ? g_iBlockSize : 0;
        return m_pTuner->m_fTrackingFreq.load();
    }

    Analyser m_Analyser;
    std::unique_ptr<Tuner2> m_pTuner;
    CSampleBuffer m_Input;
    int m_iOffset = 0;
};

TEST_F(Tuner2BandSearch, LowestBandAboveTheThresholdIsTrackedWhateverTheLevels)
{
    SetPeaks({{12, 150.0f}, {31, 20000.0f}});
    EXPECT_EQ(m_Analyser.BandFrequency(12), Track());
    SetPeaks({{12, 20000.0f}, {31, 150.0f}});
    EXPECT_EQ(m_Analyser.BandFrequency(12), Track());
    SetPeaks({{12, 100.0f}, {31, 150.0f}});  // the threshold itself does not count
    EXPECT_EQ(m_Analyser.BandFrequency(31), Track());
    SetPeaks({{0, 100.5f}, {59, 30000.0f}});
    EXPECT_EQ(m_Analyser.BandFrequency(0), Track());
    SetPeaks({{59, 101.0f}});
    EXPECT_EQ(m_Analyser.BandFrequency(59), Track());
}

TEST_F(Tuner2BandSearch, SoundingBandPublishesTheEstimateAndItsNote)
{
    Tuner& est = m_pTuner->m_Tuner;
    SetPeaks({{17, 500.0f}});
    est.SetMeasured(246.9f);
    Track();
    EXPECT_EQ(246.9f, m_pTuner->m_fMeasuredFreq.load());
    EXPECT_EQ(12.0f, m_pTuner->m_fNoteNumber.load());  // B
    est.SetMeasured(262.0f);
    Track();
    EXPECT_EQ(1.0f, m_pTuner->m_fNoteNumber.load());  // C
}

TEST_F(Tuner2BandSearch, NoSoundingBandClearsOnlyTheEstimate)
{
    Tuner& est = m_pTuner->m_Tuner;
    SetPeaks({{17, 500.0f}});
    est.SetMeasured(110.0f);
    const float fBand = Track();
    ASSERT_EQ(10.0f, m_pTuner->m_fNoteNumber.load());

    SetPeaks({{5, 100.0f}, {40, 99.0f}});
    EXPECT_EQ(fBand, Track());  // the cascade stays on the last band
    EXPECT_EQ(0.0f, est.Measured());
    EXPECT_EQ(110.0f, m_pTuner->m_fMeasuredFreq.load());
    EXPECT_EQ(10.0f, m_pTuner->m_fNoteNumber.load());
}

// The whole engine fed block by block as the audio thread feeds it.
class Tuner2InEngine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 1200);
        m_pEngine.reset(new CDspEngine);
        ASSERT_EQ(1, m_pEngine->InitDSP());
        ASSERT_EQ(1, m_Input.Init("Tuner2Test", "m_Input", g_iBufMonoLen, g_iBlockSize));
    }
    void TearDown() override
    {
        m_Input.Release("Tuner2Test", "m_Input");
        if (m_pEngine)
            m_pEngine->Release();
    }

    // Feeds nBlocks blocks of the sum of sines (frequency, amplitude), continuing
    // their phase across calls, and calls afterBlock() after each.
    template <class F>
    void Feed(const std::vector<std::pair<double, double>>& tones, int nBlocks, F&& afterBlock)
    {
        const double kPi = 3.14159265358979323846;
        for (int b = 0; b < nBlocks; ++b)
        {
            for (int i = 0; i < g_iBlockSize; ++i, ++m_llSample)
            {
                double v = 0.0;
                for (const auto& t : tones)
                    v += t.second * std::sin(2.0 * kPi * t.first * static_cast<double>(m_llSample) / 48000.0);
                m_Input.Channel(0)[m_iOffset + i] = static_cast<float>(v);
                m_Input.Channel(1)[m_iOffset + i] = static_cast<float>(v);
            }
            m_pEngine->Process(&m_Input, m_iOffset);
            m_iOffset = m_iOffset == 0 ? g_iBlockSize : 0;
            afterBlock();
        }
    }
    void Feed(const std::vector<std::pair<double, double>>& tones, int nBlocks)
    {
        Feed(tones, nBlocks, [] {});
    }

    float MaxHeldPeak() const
    {
        const Analyser& a = m_pEngine->m_Analyser;
        float m = 0.0f;
        for (int b = 0; b < a.NumBands(); ++b)
            m = std::max(m, a.HeldPeak(b));
        return m;
    }

    Tuner2& Tracker() { return m_pEngine->m_Tuner2; }

    std::unique_ptr<CDspEngine> m_pEngine;
    CSampleBuffer m_Input;
    int m_iOffset = 0;
    long long m_llSample = 0;
};

// 110.004 Hz in single precision: band 17 of the analyser.
constexpr int kBandA2 = 17;

TEST_F(Tuner2InEngine, ToneAt110HzReadsAThenSilenceClearsOnlyTheEstimate)
{
    // A moderate level: loud enough for its own band, too quiet to lift the band
    // below it.
    Feed({{110.0, 400.0}}, 40);
    EXPECT_EQ(m_pEngine->m_Analyser.BandFrequency(kBandA2), Tracker().m_fTrackingFreq.load());
    EXPECT_NEAR(110.0, Tracker().m_Tuner.Measured(), 0.05);
    EXPECT_NEAR(110.0, Tracker().m_fMeasuredFreq.load(), 0.05);
    EXPECT_EQ(10.0f, Tracker().m_fNoteNumber.load());

    // The estimate is withdrawn in the first silent block whose held peaks are all
    // at or below the threshold; until then the tracker goes on measuring the
    // fading band. The note number and the measured copy keep what they last had.
    int iSilentBlock = -1;
    int iBlock = 0;
    float fNote = Tracker().m_fNoteNumber.load();
    float fCopy = Tracker().m_fMeasuredFreq.load();
    float fTracking = Tracker().m_fTrackingFreq.load();
    Feed({}, 12, [&] {
        ++iBlock;
        if (iSilentBlock >= 0)
            return;
        if (MaxHeldPeak() > Tuner2::kBandThreshold)
        {
            EXPECT_NE(0.0f, Tracker().m_Tuner.Measured()) << "silent block " << iBlock;
            fNote = Tracker().m_fNoteNumber.load();
            fCopy = Tracker().m_fMeasuredFreq.load();
            fTracking = Tracker().m_fTrackingFreq.load();
            return;
        }
        iSilentBlock = iBlock;
        EXPECT_EQ(0.0f, Tracker().m_Tuner.Measured());
        EXPECT_EQ(fNote, Tracker().m_fNoteNumber.load());
        EXPECT_NE(0.0f, Tracker().m_fMeasuredFreq.load());
        EXPECT_EQ(fCopy, Tracker().m_fMeasuredFreq.load());
        EXPECT_EQ(fTracking, Tracker().m_fTrackingFreq.load());
    });
    EXPECT_GT(iSilentBlock, 0) << "the held peaks never fell to the threshold";
}

TEST_F(Tuner2InEngine, LowerOfTwoNotesIsTrackedEvenWhenTheUpperIsLouder)
{
    Feed({{110.0, 400.0}, {330.0, 12000.0}}, 40);
    EXPECT_EQ(m_pEngine->m_Analyser.BandFrequency(kBandA2), Tracker().m_fTrackingFreq.load());
    EXPECT_EQ(10.0f, Tracker().m_fNoteNumber.load());
}

TEST_F(Tuner2InEngine, InitResetsTheFrequenciesAndKeepsTheSelection)
{
    Tuner2& t = Tracker();
    EXPECT_EQ(82.41f, t.m_fTargetFreq.load());
    EXPECT_EQ(0.0f, t.m_fMeasuredFreq.load());
    EXPECT_EQ(0.0f, t.m_Tuner.Measured());

    Feed({{110.0, 400.0}}, 30);
    t.m_iSelectedTuning.store(13);  // "Drop A"
    t.SelectString(3);
    ASSERT_NEAR(146.83, t.m_fTargetFreq.load(), 0.01);
    ASSERT_NE(0.0f, t.m_Tuner.Measured());

    m_pEngine->Release();
    ASSERT_EQ(1, m_pEngine->InitDSP());
    EXPECT_EQ(13, t.m_iSelectedTuning.load());
    EXPECT_EQ(3, t.m_iSelectedString.load());
    // The target returns to the lowest string of standard tuning, not the
    // selection; the panel sets it again.
    EXPECT_EQ(82.41f, t.m_fTargetFreq.load());
    EXPECT_EQ(0.0f, t.m_fMeasuredFreq.load());
    EXPECT_EQ(0.0f, t.m_Tuner.Measured());
    EXPECT_EQ(32, t.m_iNumTunings.load());
}

} // namespace
