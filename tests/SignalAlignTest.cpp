// tq-align: a delayed, scaled copy is found at its delay with its gain, unrelated
// noise matches poorly, and the command refuses what it cannot compare with one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "base/WavFile.h"
#include "tests/TestSupport.h"
#include "tools/SignalAlign.h"

namespace {

// Uniform noise in -1..1 from a fixed seed, so every run sees the same signal.
std::vector<float> Noise(size_t n, std::uint32_t uSeed)
{
    std::vector<float> v(n);
    for (float& x : v)
    {
        uSeed = uSeed * 1664525u + 1013904223u;
        x = static_cast<float>(uSeed >> 8) / 8388608.0f - 1.0f;
    }
    return v;
}

// A decaying 110 Hz string with two overtones and a little noise: near-periodic,
// as the looped guitar recording the program's test plays.
std::vector<float> String(size_t n, int iRate)
{
    const std::vector<float> noise = Noise(n, 7);
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / iRate, w = 2.0 * 3.14159265358979 * 110.0 * t;
        v[i] = static_cast<float>(std::exp(-t) * (std::sin(w) + 0.5 * std::sin(2.01 * w) + 0.3 * std::sin(3.02 * w)) +
                                  0.01 * noise[i]);
    }
    return v;
}

std::vector<float> Delayed(const std::vector<float>& v, size_t uLag, float fGain)
{
    std::vector<float> out(v.size(), 0.0f);
    for (size_t i = uLag; i < v.size(); ++i)
        out[i] = fGain * v[i - uLag];
    return out;
}

TEST(SignalAlign, FindsTheDelayAndGainOfACopyAndNoMatchInUnrelatedNoise)
{
    const int kRate = 12000;
    const struct { const char* szSignal; size_t uLag; float fGain; } cases[] = {
        {"noise", 1234, 0.5f}, {"noise", 0, 1.0f}, {"string", 37, 0.25f}, {"string", 2400, 2.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.szSignal) + " lag " + std::to_string(c.uLag));
        const std::vector<float> ref = std::string(c.szSignal) == "noise" ? Noise(5 * kRate, 1) : String(5 * kRate, kRate);
        Alignment a;
        ASSERT_TRUE(AlignSignals(ref, Delayed(ref, c.uLag, c.fGain), kRate, 2 * kRate, kRate / 4, kRate, &a));
        EXPECT_EQ(a.iLag, static_cast<int>(c.uLag));
        EXPECT_NEAR(a.dCorrelation, 1.0, 1e-6);
        EXPECT_NEAR(a.dGain, c.fGain, 1e-5);
        EXPECT_EQ(a.nBlocks, 200);
        EXPECT_EQ(a.nSilentBlocks, 0);
    }
    // A stream that ran dry for three hundredths of a second: those are counted,
    // and the match stays at the delay.
    {
        const std::vector<float> ref = String(5 * kRate, kRate);
        std::vector<float> rec = Delayed(ref, 300, 0.5f);
        std::fill(rec.begin() + kRate + 1200, rec.begin() + kRate + 1560, 0.0f);
        Alignment a;
        ASSERT_TRUE(AlignSignals(ref, rec, kRate, 2 * kRate, kRate / 4, kRate, &a));
        EXPECT_EQ(a.iLag, 300);
        EXPECT_EQ(a.nSilentBlocks, 3);
        EXPECT_LT(a.dCorrelation, 0.999);
    }
    Alignment a;
    ASSERT_TRUE(AlignSignals(Noise(5 * kRate, 1), Noise(5 * kRate, 2), kRate, 2 * kRate, kRate / 4, kRate, &a));
    EXPECT_LT(std::fabs(a.dCorrelation), 0.05);
    // Silence matches nothing; a window past either end is refused.
    ASSERT_TRUE(AlignSignals(std::vector<float>(100, 0.0f), Noise(100, 1), 10, 50, 10, 1000, &a));
    EXPECT_EQ(a.dCorrelation, 0.0);
    EXPECT_FALSE(AlignSignals(Noise(100, 1), Noise(200, 1), 60, 50, 10, 1000, &a));
    EXPECT_FALSE(AlignSignals(Noise(200, 1), Noise(100, 1), 60, 50, 10, 1000, &a));
    // The lag searched stops at the window's start: no reference before the recording.
    ASSERT_TRUE(AlignSignals(Noise(1000, 1), Delayed(Noise(1000, 1), 30, 1.0f), 20, 500, 100, 1000, &a));
    EXPECT_LE(a.iLag, 20);
}

TEST(SignalAlign, CommandPrintsOneLineOrFailsWithOneErrorLine)
{
    const std::string dir = TestLogDirectory();
    auto write = [&](const std::string& name, const std::vector<float>& left, int iRate) {
        WavAudio w;
        w.iSampleRate = iRate;
        w.channels = {left, left};
        std::string error;
        EXPECT_TRUE(WriteWavFile(dir + "/" + name, w, WavSampleFormat::Float32, &error)) << error;
        return dir + "/" + name;
    };
    const std::vector<float> ref = Noise(3 * 12000, 3);
    const std::string in = write("align-in.wav", ref, 12000);
    const std::string out = write("align-out.wav", Delayed(ref, 120, 0.5f), 12000);
    const std::string other = write("align-other.wav", Noise(3 * 12000, 4), 12000);
    const std::string fast = write("align-24k.wav", ref, 24000);
    const struct { std::vector<std::string> args; int iStatus; std::string start; } cases[] = {
        {{in, out, "--skip", "1", "--window", "1", "--max-lag", "0.5"}, kAlignOk,
         "lag 120 frames (10.00 ms), correlation 1.00000, gain 0.5000, silent 0 of 100\n"},
        {{in, out, "--skip", "1", "--window", "1", "--channel", "1", "--min-correlation", "0.99"}, kAlignOk, "lag 120 "},
        {{in, other, "--skip", "1", "--window", "1", "--min-correlation", "0.99"}, kAlignBelow, "lag "},
        {{in, out}, kAlignBadInput, "tq-align: '" + in + "' holds 3.00 s; --skip and --window need 6.00 s\n"},
        {{in, fast, "--skip", "1", "--window", "1"}, kAlignBadInput, "tq-align: the recordings' rates differ"},
        {{in, dir + "/missing.wav"}, kAlignBadInput, "tq-align: '"},
        {{in, out, "--channel", "2"}, kAlignBadInput, "tq-align: bad value '2' for --channel\n"},
        {{in, out, "--window", "0"}, kAlignBadInput, "tq-align: bad value '0' for --window\n"},
        {{in, out, "--skip"}, kAlignBadInput, "tq-align: option '--skip' needs a value\n"},
        {{in, out, in}, kAlignBadInput, "tq-align: only two recordings may be given"},
        {{in}, kAlignBadInput, "tq-align: expected REFERENCE.wav and RECORDED.wav"},
    };
    for (const auto& c : cases)
    {
        std::vector<const char*> argv = {"tq-align"};
        for (const std::string& a : c.args)
            argv.push_back(a.c_str());
        std::ostringstream o, e;
        const int iStatus = RunAlignCommand(static_cast<int>(argv.size()), argv.data(), o, e);
        const std::string shown = iStatus == kAlignBadInput ? e.str() : o.str();
        SCOPED_TRACE(shown);
        EXPECT_EQ(iStatus, c.iStatus);
        EXPECT_EQ(shown.rfind(c.start, 0), 0u);
        EXPECT_EQ(shown.find('\n'), shown.size() - 1);
        EXPECT_TRUE((iStatus == kAlignBadInput ? o : e).str().empty());
    }
}

}  // namespace
