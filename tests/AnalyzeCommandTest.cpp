// tq-analyze end to end: option parsing and its one-line errors, the CSV layout,
// and that a recorded string comes out as the right note and guidance word.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/AnalyzeCommand.h"
#include "tools/PluckedString.h"
#include "tools/WavFile.h"

namespace {

namespace fs = std::filesystem;

struct Result
{
    int iStatus = -1;
    std::string sOut;
    std::string sErr;
};

Result Analyze(const std::vector<std::string>& args)
{
    std::vector<const char*> argv = {"tq-analyze"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    Result r;
    r.iStatus = RunAnalyzeCommand(static_cast<int>(argv.size()), argv.data(), out, err);
    r.sOut = out.str();
    r.sErr = err.str();
    return r;
}

std::vector<std::string> Split(const std::string& s, char cSep)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s)
    {
        if (c == cSep)
        {
            parts.push_back(cur);
            cur.clear();
        }
        else
        {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

// Lines of the output without the empty piece after the final newline.
std::vector<std::string> Lines(const std::string& s)
{
    std::vector<std::string> lines = Split(s, '\n');
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

void ExpectOneErrorLine(const Result& r)
{
    EXPECT_EQ(r.iStatus, 2);
    EXPECT_TRUE(r.sOut.empty()) << r.sOut;
    EXPECT_EQ(r.sErr.rfind("tq-analyze: ", 0), 0u) << r.sErr;
    ASSERT_FALSE(r.sErr.empty());
    EXPECT_EQ(r.sErr.back(), '\n');
    EXPECT_EQ(r.sErr.find('\n'), r.sErr.size() - 1) << "more than one line: " << r.sErr;
}

class AnalyzeCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device rd;
        m_Dir = fs::temp_directory_path() / ("tq-analyze-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(m_Dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_Dir, ec);
    }

    std::string Write(const std::string& name, const WavAudio& audio,
                      WavSampleFormat format = WavSampleFormat::Pcm16)
    {
        const std::string path = (m_Dir / name).string();
        std::string err;
        EXPECT_TRUE(WriteWavFile(path, audio, format, &err)) << err;
        return path;
    }

    static std::vector<float> Tone(float fHz, float fSeconds = 1.5f, float fPeak = 12000.0f)
    {
        PluckedStringParams p;
        p.fFrequency = fHz;
        p.fSampleRate = 48000.0f;
        p.fSeconds = fSeconds;
        p.fPeak = fPeak;
        return RenderPluckedString(p);
    }

    static WavAudio Mono(std::vector<float> samples, int iRate = 48000)
    {
        WavAudio a;
        a.iSampleRate = iRate;
        a.channels = {std::move(samples)};
        return a;
    }

    std::string SilenceFile(size_t nFrames)
    {
        return Write("silence.wav", Mono(std::vector<float>(nFrames, 0.0f)));
    }

    fs::path m_Dir;
};

TEST_F(AnalyzeCommandTest, BadCommandLinesGiveOneErrorLineAndStatusTwo)
{
    const std::string wav = SilenceFile(4800);
    const std::string notWav = (m_Dir / "text.wav").string();
    {
        std::ofstream(notWav) << "just some text, long enough to look like a header\n";
    }
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--csv"},
        {"--bogus", wav},
        {"-x", wav},
        {"--tuning=5", wav},
        {wav, wav},
        {wav, "--tuning"},
        {"--tuning", "12x", wav},
        {"--tuning", "", wav},
        {"--tuning", " 5", wav},
        {"--tuning", "5.0", wav},
        {"--tuning", "32", wav},
        {"--tuning", "-1", wav},
        {"--tuning", "99999999999999999999", wav},
        {"--string", "6", wav},
        {"--string", "-", wav},
        {"--block-size", "24", wav},
        {"--block-size", "2001", wav},
        {"--input-gain", "0.09", wav},
        {"--input-gain", "5.01", wav},
        {"--input-gain", "abc", wav},
        {"--input-gain", "nan", wav},
        {"--input-gain", "inf", wav},
        {"--input-gain", "0x1", wav},
        {"--input-gain", "1e999", wav},
        {"--input-gain", "1,5", wav},
        {"--input-gain", ".", wav},
        {(m_Dir / "missing.wav").string()},
        {notWav},
        {m_Dir.string()},
        {""},
        {(m_Dir / "line\nbreak.wav").string()},
    };
    for (const std::vector<std::string>& args : cases)
    {
        std::string shown;
        for (const std::string& a : args)
            shown += "[" + a + "] ";
        SCOPED_TRACE(shown);
        ExpectOneErrorLine(Analyze(args));
    }
}

TEST_F(AnalyzeCommandTest, RangeBoundsAndHelpAreAccepted)
{
    const std::string wav = SilenceFile(2400);
    const std::vector<std::vector<std::string>> cases = {
        {"--tuning", "0", wav},        {"--tuning", "31", "--string", "5", wav},
        {"--block-size", "25", wav},   {"--block-size", "2000", wav},
        {"--input-gain", "0.1", wav},  {"--input-gain", "5", wav},
        {"--input-gain", "+5.0", wav}, {"--input-gain", "5e-1", wav},
        {"--csv", "--stereo", wav},    {"--", wav},
    };
    for (const std::vector<std::string>& args : cases)
    {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const Result r = Analyze(args);
        EXPECT_EQ(r.iStatus, 0) << r.sErr;
        EXPECT_TRUE(r.sErr.empty()) << r.sErr;
        EXPECT_FALSE(r.sOut.empty());
    }
    const Result help = Analyze({"--help"});
    EXPECT_EQ(help.iStatus, 0);
    EXPECT_TRUE(help.sErr.empty());
    EXPECT_EQ(help.sOut.rfind("usage: tq-analyze", 0), 0u) << help.sOut;
    for (const char* szOption : {"--tuning", "--string", "--block-size", "--input-gain", "--stereo", "--csv"})
        EXPECT_NE(help.sOut.find(szOption), std::string::npos) << szOption;
}

TEST_F(AnalyzeCommandTest, CsvHasOneRowPerBlockEndingAtTheBlockEnd)
{
    struct Case
    {
        size_t nFrames;
        int iBlock;
        size_t nRows;
        const char* szLastTime;
    };
    const Case cases[] = {
        {2400, 1200, 2, "0.050000"},  // whole blocks
        {2401, 1200, 3, "0.075000"},  // a last, padded block
        {2401, 100, 25, "0.052083"},
        {1, 25, 1, "0.000521"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.nFrames) + " frames, block " + std::to_string(c.iBlock));
        const Result r = Analyze({"--csv", "--block-size", std::to_string(c.iBlock), SilenceFile(c.nFrames)});
        ASSERT_EQ(r.iStatus, 0) << r.sErr;
        const std::vector<std::string> lines = Lines(r.sOut);
        ASSERT_EQ(lines.size(), c.nRows + 1);
        EXPECT_EQ(lines[0], "time_s,band_hz,measured_hz,note,target_hz,deviation,guidance");
        for (size_t i = 1; i < lines.size(); ++i)
        {
            const std::vector<std::string> f = Split(lines[i], ',');
            ASSERT_EQ(f.size(), 7u) << lines[i];
            // Silence: no pitch, so no note and no word, and D is pinned at the limit.
            EXPECT_EQ(f[2], "0.000");
            EXPECT_EQ(f[3], "");
            EXPECT_EQ(f[4], "82.407");  // E2 from the note table
            EXPECT_EQ(f[5], "99.00");
            EXPECT_EQ(f[6], "");
        }
        EXPECT_EQ(Split(lines.back(), ',')[0], c.szLastTime);
    }
}

TEST_F(AnalyzeCommandTest, PluckedStringsReadAsTheirNoteAndGuidance)
{
    // A2 is string 1 of the standard tuning; +-30 cents is about +-1.9 Hz, far
    // outside the 0.3 Hz in-tune band, so the word shows the direction.
    struct Case
    {
        float fHz;
        WavSampleFormat format;
        const char* szVerdict;
    };
    const Case cases[] = {
        {110.0f, WavSampleFormat::Pcm16, "verdict: in tune"},
        {110.0f * std::pow(2.0f, 30.0f / 1200.0f), WavSampleFormat::Float32, "verdict: tune down"},
        {110.0f * std::pow(2.0f, -30.0f / 1200.0f), WavSampleFormat::Pcm16, "verdict: tune up"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.szVerdict);
        const std::string wav = Write("a2.wav", Mono(Tone(c.fHz)), c.format);
        const Result r = Analyze({"--tuning", "28", "--string", "1", wav});
        ASSERT_EQ(r.iStatus, 0) << r.sErr;
        const std::vector<std::string> lines = Lines(r.sOut);
        ASSERT_EQ(lines.size(), 5u) << r.sOut;
        EXPECT_EQ(lines[0], "file: a2.wav, 48000 Hz, mono, 1.50 s, 60 blocks of 1200 frames");
        EXPECT_EQ(lines[1], "target: tuning 28 \"E\", string 1 A2 at 110.00 Hz");
        EXPECT_EQ(lines[2].rfind("notes found: A2 (", 0), 0u) << lines[2];
        EXPECT_EQ(lines[3].rfind("stable reading: ", 0), 0u) << lines[3];
        EXPECT_NE(lines[3].find(" Hz (A2), deviation "), std::string::npos) << lines[3];
        EXPECT_EQ(lines[4], c.szVerdict) << r.sOut;
    }
}

TEST_F(AnalyzeCommandTest, CsvRowsFollowTheReadOutRules)
{
    const std::string wav = Write("a2.wav", Mono(Tone(110.0f)));
    const Result r = Analyze({"--csv", "--string", "1", wav});
    ASSERT_EQ(r.iStatus, 0) << r.sErr;
    const std::vector<std::string> lines = Lines(r.sOut);
    ASSERT_EQ(lines.size(), 61u);
    int iA2 = 0, iOther = 0;
    for (size_t i = 1; i < lines.size(); ++i)
    {
        SCOPED_TRACE(lines[i]);
        const std::vector<std::string> f = Split(lines[i], ',');
        ASSERT_EQ(f.size(), 7u);
        const double m = std::atof(f[2].c_str());
        const double t = std::atof(f[4].c_str());
        const double d = std::atof(f[5].c_str());
        EXPECT_EQ(f[4], "110.000");
        // D is (T - M) x 10, clamped to +-99.
        EXPECT_NEAR(d, std::max(-99.0, std::min(99.0, (t - m) * 10.0)), 0.02);
        const bool bPitch = m >= 1.0;
        EXPECT_EQ(f[3].empty(), !bPitch);
        if (!bPitch)
            EXPECT_EQ(f[6], "");
        else if (d > 3.0)
            EXPECT_EQ(f[6], "tune up");
        else if (d < -3.0)
            EXPECT_EQ(f[6], "tune down");
        else
            EXPECT_EQ(f[6], "in tune");
        iA2 += f[3] == "A2";
        iOther += !f[3].empty() && f[3] != "A2";
    }
    EXPECT_GE(iA2, 30) << "half the blocks of a sounding A2 read A2";
    EXPECT_GT(iA2, 2 * iOther);
}

TEST_F(AnalyzeCommandTest, SilenceReportsNoPitch)
{
    const Result r = Analyze({SilenceFile(48000)});
    ASSERT_EQ(r.iStatus, 0) << r.sErr;
    const std::vector<std::string> lines = Lines(r.sOut);
    ASSERT_EQ(lines.size(), 5u) << r.sOut;
    EXPECT_EQ(lines[1], "target: tuning 28 \"E\", string 0 E2 at 82.41 Hz");
    EXPECT_EQ(lines[2], "notes found: none");
    EXPECT_EQ(lines[3], "stable reading: none");
    EXPECT_EQ(lines[4], "verdict: no pitch");
}

TEST_F(AnalyzeCommandTest, MonoModeListensToTheLeftChannelOnly)
{
    const std::vector<float> tone = Tone(110.0f);
    const std::vector<float> silence(tone.size(), 0.0f);
    WavAudio left;
    left.iSampleRate = 48000;
    left.channels = {tone, silence};
    WavAudio right = left;
    std::swap(right.channels[0], right.channels[1]);
    const std::string leftWav = Write("left.wav", left);
    const std::string rightWav = Write("right.wav", right);

    const Result leftMono = Analyze({"--string", "1", leftWav});
    ASSERT_EQ(leftMono.iStatus, 0) << leftMono.sErr;
    EXPECT_NE(leftMono.sOut.find("stereo read as mono (left channel)"), std::string::npos) << leftMono.sOut;
    EXPECT_NE(leftMono.sOut.find("notes found: A2 ("), std::string::npos) << leftMono.sOut;
    EXPECT_NE(leftMono.sOut.find("verdict: in tune"), std::string::npos) << leftMono.sOut;

    // The tuner branch reads the engine's left channel, so with --stereo the left
    // input still decides, and a tone on the right alone is never heard.
    const Result leftStereo = Analyze({"--stereo", "--string", "1", leftWav});
    ASSERT_EQ(leftStereo.iStatus, 0) << leftStereo.sErr;
    EXPECT_NE(leftStereo.sOut.find(", stereo, "), std::string::npos) << leftStereo.sOut;
    EXPECT_NE(leftStereo.sOut.find("verdict: in tune"), std::string::npos) << leftStereo.sOut;

    for (const char* szMode : {"", "--stereo"})
    {
        SCOPED_TRACE(szMode);
        std::vector<std::string> args = {"--string", "1", rightWav};
        if (*szMode)
            args.insert(args.begin(), szMode);
        const Result r = Analyze(args);
        ASSERT_EQ(r.iStatus, 0) << r.sErr;
        EXPECT_NE(r.sOut.find("notes found: none"), std::string::npos) << r.sOut;
        EXPECT_NE(r.sOut.find("verdict: no pitch"), std::string::npos) << r.sOut;
    }
}

TEST_F(AnalyzeCommandTest, InputGainReachesTheMixer)
{
    // A quiet string that the band search hears only after the input gain lifts it.
    const std::string wav = Write("quiet.wav", Mono(Tone(110.0f, 1.5f, 60.0f)));
    const Result plain = Analyze({"--string", "1", wav});
    ASSERT_EQ(plain.iStatus, 0) << plain.sErr;
    EXPECT_NE(plain.sOut.find("notes found: none"), std::string::npos) << plain.sOut;
    const Result lifted = Analyze({"--string", "1", "--input-gain", "5", wav});
    ASSERT_EQ(lifted.iStatus, 0) << lifted.sErr;
    EXPECT_NE(lifted.sOut.find("notes found: A2 ("), std::string::npos) << lifted.sOut;
}

TEST_F(AnalyzeCommandTest, OutputThatCannotBeWrittenIsAFailure)
{
    const std::string wav = SilenceFile(2400);
    std::vector<const char*> argv = {"tq-analyze", wav.c_str()};
    std::ostringstream out, err;
    out.setstate(std::ios::badbit);
    EXPECT_NE(RunAnalyzeCommand(2, argv.data(), out, err), 0);
    EXPECT_EQ(err.str().rfind("tq-analyze: ", 0), 0u) << err.str();
}

} // namespace
