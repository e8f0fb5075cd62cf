// End to end: guitar notes through the unchanged engine chain with the tuner on,
// judged by what the read-out shows once the estimator has settled. An octave or
// harmonic error shows as readings far from the played note.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/WavFile.h"
#include "dsp/StreamParams.h"
#include "tests/TestSupport.h"
#include "tools/OfflineTuner.h"
#include "tools/PluckedString.h"
#include "tuner/ReadOut.h"
#include "tuner/Tuner2.h"

namespace {

// The six strings of standard tuning, lowest first.
const char* const kStringNotes[6] = {"E2", "A2", "D3", "G3", "B3", "E4"};
const double kStringHz[6] = {82.4069, 110.0, 146.8324, 195.9977, 246.9417, 329.6276};

// What the read-out showed from a given time on.
struct Readings
{
    int iBlocks = 0, iPitch = 0, iNear = 0;  // blocks, blocks with a pitch, pitches within 50 cents
    int iOff = 0;                             // pitches more than 50 cents off, from the first block on
    double dFirstNear = -1.0;                 // when the played note was first shown, -1 for never
    std::map<Guidance, int> words;
    std::map<std::string, int> notes;         // every note shown and how often, for failure messages

    std::string Summary() const
    {
        std::string s = std::to_string(iNear) + " of " + std::to_string(iPitch) + " pitches near, " +
                        std::to_string(iBlocks) + " blocks:";
        for (const auto& n : notes)
            s += " [" + n.first + " x" + std::to_string(n.second) + "]";
        return s;
    }
    // Most blocks carry a pitch, those read the played note, and no other note
    // was shown at any time, the attack included.
    void ExpectTheNote() const
    {
        EXPECT_GT(2 * iPitch, iBlocks) << Summary();
        EXPECT_EQ(iNear, iPitch) << Summary();
        EXPECT_EQ(0, iOff) << "readings off the played note: " << Summary();
    }
};

Readings Read(const std::vector<float>& x, double dHz, double dFrom, float fRate = 48000.0f,
              OfflineTunerOptions options = OfflineTunerOptions())
{
    OfflineTuner tuner;
    std::string sError;
    EXPECT_TRUE(tuner.Start(fRate, options, &sError)) << sError;
    Readings r;
    for (const OfflineTunerRow& row : tuner.Run(x.data(), nullptr, x.size()))
    {
        const bool bNear = std::fabs(1200.0 * std::log2(row.fMeasuredHz / dHz)) <= 50.0;
        if (row.readOut.bPitch && bNear && r.dFirstNear < 0.0)
            r.dFirstNear = row.dTime;
        if (row.readOut.bPitch && !bNear)
        {
            ++r.iOff;
            ++r.notes[row.readOut.szNote];
        }
        if (row.dTime < dFrom)
            continue;
        ++r.iBlocks;
        if (!row.readOut.bPitch)
            continue;
        ++r.iPitch;
        r.iNear += bNear ? 1 : 0;
        ++r.words[row.readOut.eLit];
        if (bNear)
            ++r.notes[row.readOut.szNote];
    }
    return r;
}

struct Note
{
    const char* szGuitar;  // the family of a recording ("steel"), null for a synthetic pluck
    int iString;
    int iCents;            // how far the string is out of tune
    float fInputGain;      // the input-volume knob
};

// Recorded notes are 30 cents out either way: steel and clean ones are a second
// from 0.1 s after the pluck; the overdriven, distorted and jazz ones are the
// first second of their files, the pluck at about 0.1 s. Synthetic plucks (two
// seconds, moderate level) are in tune. The steel low E recordings are quiet, their
// fundamental 25 dB below the second harmonic; they are read at the knob's ends
// as well.
std::vector<Note> Notes(bool bRecorded)
{
    const char* const kGuitar[6] = {"steel", "clean", "clean", "steel", "clean", "steel"};
    std::vector<Note> v;
    for (int s = 0; s < 6; ++s)
        for (int c : {-30, 0, +30})
            if (bRecorded != (c == 0))
                v.push_back({bRecorded ? kGuitar[s] : nullptr, s, c, 1.0f});
    if (bRecorded)
    {
        for (float g : {0.5f, 5.0f})
            v.push_back({"steel", 0, -30, g});
        const Note kAttacks[] = {{"overdrive", 0, +30, 1.0f},  {"overdrive", 3, +30, 1.0f}, {"distortion", 1, +30, 1.0f},
                                 {"distortion", 2, -30, 1.0f}, {"jazz", 0, +30, 1.0f},      {"jazz", 5, -30, 1.0f}};
        v.insert(v.end(), std::begin(kAttacks), std::end(kAttacks));
    }
    return v;
}

class Accuracy : public ::testing::TestWithParam<Note> {};

TEST_P(Accuracy, ShowsTheStringAndTheWayToTurnThePeg)
{
    const Note& n = GetParam();
    std::vector<float> samples;
    const double dHz = kStringHz[n.iString] * std::pow(2.0, n.iCents / 1200.0);
    if (n.szGuitar)
    {
        const std::string sFile = std::string(n.szGuitar) + "-" + kStringNotes[n.iString] + (n.iCents < 0 ? "-" : "+") +
                                  std::to_string(std::abs(n.iCents)) + "c.wav";
        WavAudio wav;
        std::string sError;
        ASSERT_TRUE(ReadWavFile(TestDataPath(sFile), &wav, &sError)) << sError;
        ASSERT_EQ(48000, wav.iSampleRate);
        ASSERT_EQ(1, wav.NumChannels());
        samples = wav.channels[0];
    }
    else
    {
        PluckedStringParams p;
        p.fFrequency = static_cast<float>(dHz);
        p.fPeak = 6000.0f;
        samples = RenderPluckedString(p);
    }
    OfflineTunerOptions options;
    options.iString = n.iString;
    options.fInputGain = n.fInputGain;
    // Over the second half, when the estimator has had time to publish, the
    // string's note and the word that says which way to turn the peg: sharp
    // strings are tuned down, flat ones up.
    const Readings r = Read(samples, dHz, samples.size() / 96000.0, 48000.0f, options);
    r.ExpectTheNote();
    // The note is shown soon after the pluck: a synthetic one starts the signal,
    // and the recordings' plucks are at most 0.1 s into them.
    EXPECT_GE(r.dFirstNear, 0.0);
    EXPECT_LE(r.dFirstNear, n.szGuitar ? 0.4 : 0.1);
    const Guidance eWord = n.iCents > 0 ? Guidance::TuneDown : n.iCents < 0 ? Guidance::TuneUp : Guidance::InTune;
    EXPECT_GT(2 * r.words.at(eWord), r.iPitch) << r.Summary();
}

// "steel_E2_minus30c_gain1" for a recording, "E2_plus0c" for a pluck.
std::string NoteName(const ::testing::TestParamInfo<Note>& info)
{
    const Note& n = info.param;
    std::string s = (n.szGuitar ? std::string(n.szGuitar) + "_" : "") + kStringNotes[n.iString] +
                    (n.iCents < 0 ? "_minus" : "_plus") + std::to_string(std::abs(n.iCents)) + "c";
    if (n.szGuitar)
        s += n.fInputGain < 1.0f ? "_gain05" : "_gain" + std::to_string(static_cast<int>(n.fInputGain));
    return s;
}

INSTANTIATE_TEST_SUITE_P(Recorded, Accuracy, ::testing::ValuesIn(Notes(true)), NoteName);
INSTANTIATE_TEST_SUITE_P(Plucked, Accuracy, ::testing::ValuesIn(Notes(false)), NoteName);

// Timbres that mislead a tracker into the octave or a harmonic: the played note
// must be read, whatever the partials, the amplifier or the level.
struct Timbre
{
    const char* szName;
    double dHz;
    std::vector<float> partials;  // levels of the first partials, empty for a plain pluck
    float fClipDrive, fPickNoise, fPeak, fInputGain;
    double dOtherHz = 0.0;        // a second string ringing, and its level as a share of the first's
    float fOtherShare = 0.0f;
    float fClipLevel = 0.0f;      // hard clipping, share of the peak
    int iAttackPartial = 0;       // a partial that dominates the attack, and its level
    float fAttackLevel = 0.0f;
};

class Timbres : public ::testing::TestWithParam<Timbre> {};

TEST_P(Timbres, ReadThePlayedNote)
{
    const Timbre& t = GetParam();
    PluckedStringParams p;
    p.fFrequency = static_cast<float>(t.dHz);
    p.partialLevels = t.partials;
    p.fClipDrive = t.fClipDrive;
    p.fPickNoise = t.fPickNoise;
    p.fPeak = t.fPeak;
    p.fClipLevel = t.fClipLevel;
    p.iAttackPartial = t.iAttackPartial;
    p.fAttackLevel = t.fAttackLevel;
    std::vector<float> x = RenderPluckedString(p);
    if (t.dOtherHz > 0.0)
    {
        PluckedStringParams other;
        other.fFrequency = static_cast<float>(t.dOtherHz);
        other.fPeak = t.fPeak * t.fOtherShare;
        const std::vector<float> y = RenderPluckedString(other);
        for (size_t i = 0; i < x.size(); ++i)
            x[i] += y[i];
    }
    OfflineTunerOptions options;
    options.fInputGain = t.fInputGain;
    Read(x, t.dHz, 1.0, 48000.0f, options).ExpectTheNote();
}

INSTANTIATE_TEST_SUITE_P(
    Strings, Timbres,
    ::testing::Values(
        // Fundamental 20, 26 and 30 dB under the octave, quiet and at full gain.
        Timbre{"LowE_Fundamental20dBUnder", 82.41, {0.1f, 1.0f, 0.3f, 0.2f}, 0.0f, 0.0f, 6000.0f, 1.0f},
        Timbre{"LowE_Fundamental26dBUnder_Quiet", 82.41, {0.05f, 1.0f, 0.4f, 0.2f}, 0.0f, 0.0f, 1500.0f, 0.5f},
        Timbre{"A_Fundamental30dBUnder_Loud", 110.0, {0.032f, 1.0f, 0.5f, 0.3f}, 0.0f, 0.0f, 12000.0f, 5.0f},
        // A third harmonic stronger than the fundamental and the octave.
        Timbre{"D_StrongThird", 146.83, {0.5f, 0.3f, 1.0f, 0.2f}, 0.0f, 0.0f, 8000.0f, 1.0f},
        Timbre{"HighE_StrongThird_Loud", 329.63, {0.6f, 0.3f, 1.0f}, 0.0f, 0.0f, 12000.0f, 5.0f},
        // An overdriven amplifier, and a hard pick.
        Timbre{"LowE_SoftClipped", 82.41, {}, 6.0f, 0.0f, 12000.0f, 2.0f},
        Timbre{"G_SoftClipped", 196.0, {}, 6.0f, 0.0f, 12000.0f, 5.0f},
        Timbre{"LowE_PickNoise", 82.41, {0.2f, 1.0f, 0.4f}, 0.0f, 1.0f, 8000.0f, 1.0f},
        // An attack where the fourth partial is six times the fundamental, and an
        // input overloaded so hard that four fifths of each swing are cut off.
        Timbre{"LowE_FourthPartialAttack", 82.41, {}, 0.0f, 0.0f, 8000.0f, 1.0f, 0.0, 0.0f, 0.0f, 4, 3.0f},
        Timbre{"A_HardClipped", 110.0, {}, 0.0f, 0.0f, 12000.0f, 2.0f, 0.0, 0.0f, 0.2f},
        Timbre{"B_PickNoise_Loud", 246.94, {}, 0.0f, 2.0f, 12000.0f, 5.0f},
        // Two strings: the lower is read when about as loud; a sympathetic string
        // 20 dB under the played one, even the one it is the twelfth of, is not.
        Timbre{"LowE_WithA_Alike", 82.41, {}, 0.0f, 0.0f, 6000.0f, 1.0f, 110.0, 1.0f},
        Timbre{"A_WithD_Louder", 110.0, {}, 0.0f, 0.0f, 4200.0f, 1.0f, 146.83, 1.4f},
        Timbre{"HighE_OverFaintA", 329.63, {}, 0.0f, 0.0f, 6000.0f, 1.0f, 110.0, 0.1f},
        Timbre{"B_OverFaintLowE", 246.94, {}, 0.0f, 0.0f, 6000.0f, 1.0f, 82.41, 0.1f}),
    [](const ::testing::TestParamInfo<Timbre>& i) { return std::string(i.param.szName); });

// A note fading into silence is read until it is gone and then not at all: no
// octave, no harmonic, no stale reading.
TEST(DecayToSilence, ReadsTheNoteThenNothing)
{
    for (double dHz : {82.41, 196.0})
    {
        SCOPED_TRACE(std::to_string(dHz) + " Hz");
        PluckedStringParams p;
        p.fFrequency = static_cast<float>(dHz);
        p.partialLevels = {0.2f, 1.0f, 0.5f};
        p.fDecaySeconds = 0.4f;
        p.fSeconds = 3.0f;
        p.fSilenceSeconds = 0.5f;
        p.fPeak = 8000.0f;
        const std::vector<float> x = RenderPluckedString(p);
        const Readings r = Read(x, dHz, 0.4);
        EXPECT_EQ(r.iNear, r.iPitch) << r.Summary();
        EXPECT_EQ(0, Read(x, dHz, 3.3).iPitch);
    }
}

// The lowest and the highest string of every tuning (36.71 to 392 Hz), across
// sample rates and block sizes: each string takes the next pairing of rate and
// block, so all twelve pairings are met without running every one for all. A
// pitch that an earlier tuning already brought is not played again: the reading
// depends on the pitch alone.
TEST(EveryTuning, LowestAndHighestStringsAtEveryRateAndBlock)
{
    const float kRates[3] = {44100.0f, 48000.0f, 96000.0f};
    const int kBlocks[4] = {64, 256, 1200, 2000};
    float afHz[32][6];  // the tunings as the tuner holds them
    {
        SetStreamFormat(48000.0f, 1200);
        Tuner2 table;
        ASSERT_EQ(1, table.Init());
        std::memcpy(afHz, table.m_fStringFreq, sizeof(afHz));
        table.Release();
    }
    std::vector<float> played;
    int k = 0;
    for (int i = 0; i < 32; ++i)
        for (int iString : {0, 5})
        {
            if (std::find(played.begin(), played.end(), afHz[i][iString]) != played.end())
                continue;
            played.push_back(afHz[i][iString]);
            OfflineTunerOptions options;
            options.iTuning = i;
            options.iString = iString;
            options.iBlockSize = kBlocks[(k / 3) % 4];
            PluckedStringParams p;
            p.fFrequency = afHz[i][iString];
            p.fSampleRate = kRates[k % 3];
            p.fSeconds = 1.6f;
            p.fPeak = 6000.0f;
            SCOPED_TRACE("tuning " + std::to_string(i) + " string " + std::to_string(iString) + ", " +
                         std::to_string(p.fFrequency) + " Hz at " + std::to_string(p.fSampleRate) +
                         " Hz, block " + std::to_string(options.iBlockSize));
            Read(RenderPluckedString(p), p.fFrequency, 0.9, p.fSampleRate, options).ExpectTheNote();
            ++k;
        }
    EXPECT_GE(k, 12);  // every pairing of rate and block met
}

} // namespace

namespace {

// The estimator's one-time diagnostic, the mean of its first 200 accepted periods,
// sees only the note's own periods: the bundled flat low E, looping as the demo
// driver plays it, whose upper partials reach the bank first at every pluck. Its
// settled readings put it at 80.8 Hz.
TEST(FrequencyDiagnostic, TheLoopingLowEIsMeasuredWithinOnePercent)
{
    WavAudio wav;
    std::string sError;
    ASSERT_TRUE(ReadWavFile(TestDataPath("../../assets/audio/guitar-E2-flat.wav"), &wav, &sError)) << sError;
    std::vector<float> x;
    for (int i = 0; i < 3; ++i)
        x.insert(x.end(), wav.channels[0].begin(), wav.channels[0].end());
    ResetFrequencyDiagnostic();
    OfflineTuner tuner;
    ASSERT_TRUE(tuner.Start(static_cast<float>(wav.iSampleRate), OfflineTunerOptions(), &sError)) << sError;
    tuner.Run(x.data(), nullptr, x.size());
    std::string sLine;
    for (const std::string& line : LogLines())
        if (line.rfind("fAvgFreq = ", 0) == 0)
            sLine = line;
    ASSERT_FALSE(sLine.empty());
    EXPECT_NEAR(80.8, std::stod(sLine.substr(11)), 0.808) << sLine;
}

} // namespace
