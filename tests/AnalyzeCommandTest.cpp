// tq-analyze end to end: option parsing and its one-line errors, the CSV rows, and
// that a recorded string comes out as the right note and guidance word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/SystemQuery.h"
#include "base/WavFile.h"
#include "dsp/ReferencePitch.h"
#include "tests/TestSupport.h"
#include "tools/AnalyzeCommand.h"
#include "tools/PluckedString.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Lines = std::vector<std::string>;

struct Result { int iStatus; std::string sOut, sErr; };

// Runs the command; its results go to *pOut when given.
Result Analyze(const Args& args, std::ostream* pOut = nullptr)
{
    std::vector<const char*> argv = {"tq-analyze"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int iStatus = RunAnalyzeCommand(static_cast<int>(argv.size()), argv.data(), pOut ? *pOut : out, err);
    return {iStatus, out.str(), err.str()};
}

// Runs the command and expects each of the wanted pieces in its output.
Result AnalyzeWanting(const Args& args, const Lines& wanted)
{
    const Result r = Analyze(args);
    for (const std::string& s : wanted)
        EXPECT_NE(r.sOut.find(s), std::string::npos) << "no [" << s << "] in\n" << r.sOut;
    return r;
}

// The pieces of s, each ended by cEnd (or by the end of s).
Lines Split(const std::string& s, char cEnd)
{
    Lines parts;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, cEnd);)
        parts.push_back(part);
    return parts;
}

// 1.5 s of a plucked string at 48000 Hz.
std::vector<float> Pluck(float fHz, float fPeak = 12000.0f)
{
    PluckedStringParams p;
    p.fFrequency = fHz;
    p.fSeconds = 1.5f;
    p.fPeak = fPeak;
    return RenderPluckedString(p);
}

void ExpectOneErrorLine(const Result& r)
{
    EXPECT_EQ(r.sErr.rfind("tq-analyze: ", 0), 0u) << r.sErr;
    EXPECT_EQ(r.sErr.find('\n'), r.sErr.size() - 1) << "not exactly one line: " << r.sErr;
}

// Each test writes its recordings to a folder of its own in the test folder,
// which goes at the end of the run.
class AnalyzeCommandTest : public ::testing::Test
{
protected:
    AnalyzeCommandTest() { fs::create_directories(m_Dir); }

    // A 48000 Hz recording of one (mono) or two (left, right) channels.
    std::string Write(const std::string& name, std::vector<std::vector<float>> channels,
                      WavSampleFormat format = WavSampleFormat::Pcm16)
    {
        const std::string path = (m_Dir / name).string();
        std::string err;
        EXPECT_TRUE(WriteWavFile(path, WavAudio{48000, std::move(channels)}, format, &err)) << err;
        return path;
    }

    const fs::path m_Dir =
        fs::path(TestLogDirectory()) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(AnalyzeCommandTest, CommandLinesRunOrFailWithOneErrorLineAndStatusTwo)
{
    const std::string wav = Write("silence.wav", {std::vector<float>(4800)});
    const std::string cut = Write("cut.wav", {std::vector<float>(4800)});
    fs::resize_file(cut, fs::file_size(cut) - 1);  // an interrupted copy
    const std::string text = (m_Dir / "text.wav").string();
    std::ofstream(text) << "just some text, long enough to look like a header\n";
    std::vector<Args> bad = {
        {}, {"--csv"}, {"--bogus", wav}, {"-x", wav}, {"--tuning=5", wav}, {wav, wav}, {wav, "--tuning"},
        {"--tuning", "12x", wav}, {"--tuning", "", wav}, {"--tuning", " 5", wav}, {"--tuning", "5.0", wav},
        {"--tuning", "32", wav}, {"--tuning", "-1", wav}, {"--tuning", "99999999999999999999", wav},
        {"--string", "6", wav}, {"--string", "-", wav}, {"--block-size", "24", wav}, {"--block-size", "2001", wav},
        {"--input-gain", "0.09", wav}, {"--input-gain", "5.01", wav}, {"--input-gain", "abc", wav},
        {"--input-gain", "nan", wav}, {"--input-gain", "inf", wav}, {"--input-gain", "0x1", wav},
        {"--input-gain", "1e999", wav}, {"--input-gain", "1,5", wav}, {"--input-gain", ".", wav},
        {wav, "--reference"}, {"--reference", "", wav}, {"--reference", "399.9", wav}, {"--reference", "480.1", wav},
        {"--reference", "442.25", wav}, {"--reference", "442Hz", wav}, {"--reference", "-442", wav},
        {"--reference", "4.42e2", wav},
        {(m_Dir / "missing.wav").string()}, {text}, {cut}, {m_Dir.string()}, {""},
        {(m_Dir / "line\nbreak.wav").string()},
        {Write("loud.wav", {{0.0f, 1e20f * 32768.0f}}, WavSampleFormat::Float32)},
    };
    if (!TestFifoPath().empty())
        bad.push_back({TestFifoPath()});  // would block in the open
    for (const Args& args : bad)
    {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result r = Analyze(args);
        EXPECT_EQ(r.iStatus, kAnalyzeBadInput);
        EXPECT_EQ(r.sOut, "");
        ExpectOneErrorLine(r);
    }
    // Range bounds and the other accepted forms.
    const std::vector<Args> good = {
        {"--tuning", "0", wav}, {"--tuning", "31", "--string", "5", wav}, {"--block-size", "25", wav},
        {"--block-size", "2000", wav}, {"--input-gain", "0.1", wav}, {"--input-gain", "5", wav},
        {"--input-gain", "+5.0", wav}, {"--input-gain", "5e-1", wav}, {"--csv", "--stereo", wav}, {"--", wav},
        {"--reference", "400", wav}, {"--reference", "480.0", "--csv", wav}, {"--reference", "415.3", wav},
        {"--help"},
    };
    for (const Args& args : good)
    {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result r = Analyze(args);
        EXPECT_EQ(r.iStatus, 0) << r.sErr;
        EXPECT_EQ(r.sErr, "");
        EXPECT_NE(r.sOut, "");
    }
    EXPECT_EQ(Analyze({"--help"}).sOut.rfind("usage: tq-analyze", 0), 0u);
}

TEST_F(AnalyzeCommandTest, CsvHasOneRowPerBlockFollowingTheReadOutRules)
{
    const std::vector<float> pluck = Pluck(110.0f);
    // szLastTime: the end of the last block, padding included; a sounding A2 reads A2
    // in most blocks of the whole recording.
    const struct { size_t nFrames; int iBlock; size_t nRows; const char* szLastTime; size_t nMinA2; } cases[] = {
        {72000, 1200, 60, "1.500000", 30}, {2401, 1200, 3, "0.075000", 0}, {2401, 100, 25, "0.052083", 0},
        {1, 25, 1, "0.000521", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.nFrames) + " frames, block " + std::to_string(c.iBlock));
        const std::vector<float> head(pluck.begin(), pluck.begin() + static_cast<std::ptrdiff_t>(c.nFrames));
        const Result r = Analyze({"--csv", "--string", "1", "--block-size", std::to_string(c.iBlock),
                                  Write("a2.wav", {head})});
        ASSERT_EQ(r.iStatus, 0) << r.sErr;
        const Lines lines = Split(r.sOut, '\n');
        ASSERT_EQ(lines.size(), c.nRows + 1);
        EXPECT_EQ(lines[0], "time_s,band_hz,measured_hz,note,target_hz,deviation,guidance,cents");
        EXPECT_EQ(Split(lines.back(), ',')[0], c.szLastTime);
        size_t nA2 = 0;
        for (size_t i = 1; i < lines.size(); ++i)
        {
            SCOPED_TRACE(lines[i]);
            const Lines f = Split(lines[i] + ',', ',');
            ASSERT_EQ(f.size(), 8u);
            EXPECT_EQ(f[4], "110.000");
            // D is (T - M) x 10 clamped to +-99; a pitch (M of 1 Hz or more) shows a
            // note and the word D calls for, no pitch shows neither.
            const double m = std::atof(f[2].c_str()), d = std::atof(f[5].c_str());
            EXPECT_NEAR(d, std::clamp((110.0 - m) * 10.0, -99.0, 99.0), 0.02);
            EXPECT_EQ(f[3].empty(), m < 1.0);
            EXPECT_EQ(f[6], m < 1.0 ? "" : d > 3.0 ? "tune up" : d < -3.0 ? "tune down" : "in tune");
            // Cents of M against T, empty without a pitch, as the note is.
            EXPECT_EQ(f[7].empty(), m < 1.0);
            if (m >= 1.0)
            {
                EXPECT_NEAR(std::atof(f[7].c_str()), 1200.0 * std::log2(m / 110.0), 0.06);
            }
            nA2 += f[3] == "A2";
        }
        EXPECT_GE(nA2, c.nMinA2);
    }
}

TEST_F(AnalyzeCommandTest, SummaryShowsNoteAndGuidanceOfTheLeftChannelAfterTheInputGain)
{
    // A2 is string 1 of the standard tuning; +-30 cents is about +-1.9 Hz, far
    // outside the 0.3 Hz in-tune band, so the word shows the direction.
    const std::vector<float> pluck = Pluck(110.0f), silence(pluck.size(), 0.0f);
    const std::string inTune = Write("a2.wav", {pluck});
    const std::string sharp = Write("sharp.wav", {Pluck(110.0f * std::pow(2.0f, 0.025f))}, WavSampleFormat::Float32);
    const std::string flat = Write("flat.wav", {Pluck(110.0f * std::pow(2.0f, -0.025f))});
    const std::string left = Write("left.wav", {pluck, silence}), right = Write("right.wav", {silence, pluck});
    const std::string quiet = Write("quiet.wav", {Pluck(110.0f, 60.0f)});  // unheard until lifted
    const std::string a2 =
        "target: tuning 28 \"E\", string 1 A2 at 110.00 Hz\nreference: A4 = 440.0 Hz\nnotes found: A2 (";
    const std::string reading = " Hz (A2), deviation ";
    const struct { Args args; Lines wanted; } cases[] = {  // wanted: pieces of the summary
        {{"--string", "1", inTune},
         {"file: a2.wav, 48000 Hz, mono, 1.50 s, 60 blocks of 1200 frames\n" + a2, reading, "\nverdict: in tune\n"}},
        {{"--string", "1", sharp}, {a2, reading, "\nverdict: tune down\n"}},
        {{"--string", "1", flat}, {a2, reading, "\nverdict: tune up\n"}},
        // Without --stereo the left channel feeds both engine inputs, the right is unheard.
        {{"--string", "1", left}, {", stereo read as mono (left channel), ", a2, "\nverdict: in tune\n"}},
        {{right}, {"\ntarget: tuning 28 \"E\", string 0 E2 at 82.41 Hz\nreference: A4 = 440.0 Hz\nnotes found: none\n"
                   "stable reading: none\nverdict: no pitch\n"}},
        {{"--stereo", "--string", "1", left}, {", stereo, ", a2, "\nverdict: in tune\n"}},
        {{"--string", "1", quiet}, {"\nnotes found: none\n"}},
        {{"--string", "1", "--input-gain", "5", quiet}, {a2}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Result r = AnalyzeWanting(c.args, c.wanted);
        ASSERT_EQ(r.iStatus, 0) << r.sErr;
    }
}

// An A string tuned to a band at A4 = 442 (110.5 Hz) reads in tune against 442's
// targets and sharp of 440's, and one tuned to 440 flat of 442's; the process's
// reference is as it was after each run.
TEST_F(AnalyzeCommandTest, ReferenceScalesTheTargetAndTheCents)
{
    const std::string at442 = Write("a2-at-442.wav", {Pluck(110.5f)}), at440 = Write("a2.wav", {Pluck(110.0f)});
    const struct { Args args; Lines wanted; double dCents; } cases[] = {
        {{"--reference", "442", "--string", "1", at442},
         {"string 1 A2 at 110.50 Hz\nreference: A4 = 442.0 Hz\nnotes found: A2 (", "verdict: in tune\n"}, 0.0},
        {{"--string", "1", at442},
         {"string 1 A2 at 110.00 Hz\nreference: A4 = 440.0 Hz\nnotes found: A2 (", "verdict: tune down\n"}, 7.9},
        {{"--reference", "442.0", "--string", "1", at440}, {"at 110.50 Hz\n", "verdict: tune up\n"}, -7.9},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Result r = AnalyzeWanting(c.args, c.wanted);
        ASSERT_EQ(r.iStatus, 0) << r.sErr;
        // "stable reading: 110.49 Hz (A2), deviation 0.10, -0.2 cents"
        const size_t nAt = r.sOut.find("stable reading: "), nEnd = r.sOut.find(" cents\n", nAt);
        ASSERT_NE(nEnd, std::string::npos) << r.sOut;
        const size_t nFrom = r.sOut.rfind(", ", nEnd) + 2;
        const std::string sCents = r.sOut.substr(nFrom, nEnd - nFrom);
        EXPECT_NEAR(std::atof(sCents.c_str()), c.dCents, 1.0) << r.sOut;
        EXPECT_TRUE(sCents == "0.0" || sCents[0] == '+' || sCents[0] == '-') << sCents;
        EXPECT_EQ(g_iReferenceTenths.load(), kDefaultReferenceTenths);
    }
}

TEST_F(AnalyzeCommandTest, RecordingsThatWouldNotFitInMemoryAreRefusedUpFront)
{
    // The system reports 2 MB free. Ten seconds of 48000 Hz mono take 1.92 MB as
    // samples and fit; stereo, or CSV text for 25-frame blocks, does not; nor does
    // a 4 GB recording, which is refused before a byte of it is read.
    const SystemQuery saved = g_SystemQuery;
    g_SystemQuery.ReadMemory = [](unsigned long long* pAvailable, unsigned long long* pTotal) {
        *pAvailable = 2000000;
        *pTotal = 4000000;
        return 1;
    };
    const std::vector<float> tenSeconds(480000, 0.0f);
    const std::string mono = Write("mono.wav", {tenSeconds}), stereo = Write("stereo.wav", {tenSeconds, tenSeconds});
    std::vector<unsigned char> header;
    std::string err;
    ASSERT_TRUE(EncodeWav(WavAudio{48000, {{0.0f, 0.0f}}}, WavSampleFormat::Pcm16, &header, &err)) << err;
    for (int i = 0; i < 4; ++i)
        header[40 + static_cast<size_t>(i)] = i ? 0xFF : 0xF0;  // data chunk of 0xFFFFFFF0 bytes
    header.resize(44);
    const std::string huge = (m_Dir / "huge.wav").string();
    std::ofstream(huge, std::ios::binary).write(reinterpret_cast<const char*>(header.data()), 44);
    fs::resize_file(huge, 44 + 0xFFFFFFF0ull);  // sparse: costs no disk
    const struct { Args args; bool bFits; } cases[] = {
        {{mono}, true}, {{stereo}, false}, {{"--csv", "--block-size", "25", mono}, false}, {{huge}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Result r = Analyze(c.args);
        EXPECT_EQ(r.iStatus, c.bFits ? kAnalyzeOk : kAnalyzeBadInput) << r.sErr;
        if (!c.bFits)
        {
            ExpectOneErrorLine(r);
            EXPECT_NE(r.sErr.find("MB per minute"), std::string::npos) << r.sErr;
        }
    }
    g_SystemQuery = saved;
}

TEST_F(AnalyzeCommandTest, OutputThatCannotBeWrittenIsAFailure)
{
    std::ostringstream closed;
    closed.setstate(std::ios::badbit);
    const Result r = Analyze({Write("silence.wav", {std::vector<float>(2400)})}, &closed);
    EXPECT_NE(r.iStatus, 0);
    ExpectOneErrorLine(r);
}

} // namespace
