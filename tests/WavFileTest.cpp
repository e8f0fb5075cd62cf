// The WAV reader: every accepted encoding lands in the engine's 16-bit scale, the
// chunk walk copes with real-world layouts, and every bad file is refused with a
// message and no data, however garbled its size fields.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tools/WavFile.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void Put24(Bytes& b, std::uint32_t v)
{
    Put16(b, v & 0xFFFF);
    b.push_back(static_cast<unsigned char>((v >> 16) & 0xFF));
}

void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void PutFloat(Bytes& b, float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof(u));
    Put32(b, u);
}

// A chunk with an explicit size field (so tests can lie about it) and the pad
// byte that an odd size calls for.
Bytes Chunk(const char* szId, const Bytes& payload, std::uint32_t uSizeField, bool bPad = true)
{
    Bytes b(szId, szId + 4);
    Put32(b, uSizeField);
    b.insert(b.end(), payload.begin(), payload.end());
    if (bPad && (payload.size() & 1))
        b.push_back(0);
    return b;
}

Bytes Chunk(const char* szId, const Bytes& payload)
{
    return Chunk(szId, payload, static_cast<std::uint32_t>(payload.size()));
}

Bytes Fmt(std::uint32_t uTag, std::uint32_t uChannels, std::uint32_t uRate, std::uint32_t uBits)
{
    Bytes b;
    const std::uint32_t uAlign = uChannels * uBits / 8;
    Put16(b, uTag);
    Put16(b, uChannels);
    Put32(b, uRate);
    Put32(b, uRate * uAlign);
    Put16(b, uAlign);
    Put16(b, uBits);
    return Chunk("fmt ", b);
}

// WAVE_FORMAT_EXTENSIBLE with the PCM (1) or float (3) sub-format GUID.
Bytes FmtExtensible(std::uint32_t uSubTag, std::uint32_t uChannels, std::uint32_t uRate, std::uint32_t uBits,
                    std::uint32_t uValidBits, bool bStandardGuid = true)
{
    Bytes b;
    const std::uint32_t uAlign = uChannels * uBits / 8;
    Put16(b, 0xFFFE);
    Put16(b, uChannels);
    Put32(b, uRate);
    Put32(b, uRate * uAlign);
    Put16(b, uAlign);
    Put16(b, uBits);
    Put16(b, 22);
    Put16(b, uValidBits);
    Put32(b, uChannels == 1 ? 0x4 : 0x3);
    Put16(b, uSubTag);
    const unsigned char tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    b.insert(b.end(), tail, tail + 14);
    if (!bStandardGuid)
        b.back() ^= 0xFF;
    return Chunk("fmt ", b);
}

Bytes Riff(const std::vector<Bytes>& chunks)
{
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b = {'R', 'I', 'F', 'F'};
    Put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes Pcm16(const std::vector<int>& samples)
{
    Bytes b;
    for (int s : samples)
        Put16(b, static_cast<std::uint32_t>(s));
    return b;
}

bool Parse(const Bytes& file, WavAudio* pAudio, std::string* pError)
{
    return ParseWav(file.data(), file.size(), pAudio, pError);
}

class TempFolder
{
public:
    TempFolder()
    {
        std::random_device rd;
        m_Path = fs::temp_directory_path() / ("tq-wav-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(m_Path);
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(m_Path, ec);
    }
    std::string File(const std::string& name) const { return (m_Path / name).string(); }
    std::string WriteBytes(const std::string& name, const Bytes& b) const
    {
        const std::string path = File(name);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return path;
    }

private:
    fs::path m_Path;
};

struct EncodingCase
{
    const char* szName;
    Bytes fmt;
    Bytes data;
    std::vector<float> expected;
};

TEST(WavRead, EveryEncodingLandsInSixteenBitScale)
{
    Bytes d24, d32, dFloat;
    for (std::uint32_t v : {0x7FFFFFu, 0x800000u, 0x000100u, 0xFFFF80u, 0x000001u})
        Put24(d24, v);
    for (std::uint32_t v : {0x7FFFFFFFu, 0x80000000u, 0x00010000u, 0xFFFF8000u, 0x00000001u})
        Put32(d32, v);
    for (float f : {1.0f, -0.5f, 0.25f / 32768.0f, -1.0f, 1.25f})
        PutFloat(dFloat, f);
    const std::vector<float> e16 = {-32768.0f, -1.0f, 0.0f, 1.0f, 32767.0f};
    const std::vector<float> e24 = {32767.99609375f, -32768.0f, 1.0f, -0.5f, 1.0f / 256.0f};
    const std::vector<float> e32 = {32768.0f, -32768.0f, 1.0f, -0.5f, 1.0f / 65536.0f};
    const std::vector<float> eFloat = {32768.0f, -16384.0f, 0.25f, -32768.0f, 40960.0f};
    const std::vector<EncodingCase> cases = {
        {"pcm16", Fmt(1, 1, 48000, 16), Pcm16({-32768, -1, 0, 1, 32767}), e16},
        {"pcm24", Fmt(1, 1, 48000, 24), d24, e24},
        {"pcm32", Fmt(1, 1, 48000, 32), d32, e32},
        {"float32", Fmt(3, 1, 48000, 32), dFloat, eFloat},
        {"extensible pcm16", FmtExtensible(1, 1, 48000, 16, 16), Pcm16({-32768, -1, 0, 1, 32767}), e16},
        {"extensible pcm24 in 24", FmtExtensible(1, 1, 48000, 24, 24), d24, e24},
        {"extensible pcm32 with 24 valid bits", FmtExtensible(1, 1, 48000, 32, 24), d32, e32},
        {"extensible float", FmtExtensible(3, 1, 48000, 32, 32), dFloat, eFloat},
    };
    for (const EncodingCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        WavAudio audio;
        std::string err;
        ASSERT_TRUE(Parse(Riff({c.fmt, Chunk("data", c.data)}), &audio, &err)) << err;
        EXPECT_EQ(audio.iSampleRate, 48000);
        ASSERT_EQ(audio.NumChannels(), 1);
        ASSERT_EQ(audio.NumFrames(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_FLOAT_EQ(audio.channels[0][i], c.expected[i]) << "sample " << i;
    }
}

TEST(WavRead, StereoFramesSplitLeftThenRight)
{
    for (int bits : {16, 24})
    {
        SCOPED_TRACE(bits);
        Bytes data;
        for (int i = 0; i < 4; ++i)
        {
            const std::uint32_t l = static_cast<std::uint32_t>(100 + i), r = static_cast<std::uint32_t>(-200 - i);
            if (bits == 16)
            {
                Put16(data, l);
                Put16(data, r);
            }
            else
            {
                Put24(data, l << 8);
                Put24(data, r << 8);
            }
        }
        WavAudio audio;
        std::string err;
        ASSERT_TRUE(Parse(Riff({Fmt(1, 2, 44100, static_cast<std::uint32_t>(bits)), Chunk("data", data)}), &audio,
                          &err))
            << err;
        ASSERT_EQ(audio.NumChannels(), 2);
        ASSERT_EQ(audio.NumFrames(), 4u);
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_EQ(audio.channels[0][static_cast<size_t>(i)], static_cast<float>(100 + i));
            EXPECT_EQ(audio.channels[1][static_cast<size_t>(i)], static_cast<float>(-200 - i));
        }
    }
}

TEST(WavRead, ChunkWalkSkipsUnknownChunksAndPadBytes)
{
    const Bytes data = Chunk("data", Pcm16({11, -22, 33}));
    struct Layout
    {
        const char* szName;
        Bytes file;
    };
    Bytes fmt18 = {1, 0, 1, 0, 0x80, 0xBB, 0, 0, 0, 0x77, 1, 0, 2, 0, 16, 0, 0, 0};  // cbSize present
    Bytes riffSizeWrong = Riff({Fmt(1, 1, 48000, 16), data});
    riffSizeWrong[4] = riffSizeWrong[5] = riffSizeWrong[6] = riffSizeWrong[7] = 0;
    const std::vector<Layout> layouts = {
        {"odd-sized chunk before fmt", Riff({Chunk("junk", {1, 2, 3}), Fmt(1, 1, 48000, 16), data})},
        {"odd-sized chunk between fmt and data", Riff({Fmt(1, 1, 48000, 16), Chunk("LIST", {'a', 'b', 'c', 'd', 'e'}), data})},
        {"empty chunk and chunks after data", Riff({Chunk("fact", {}), Fmt(1, 1, 48000, 16), data, Chunk("id3 ", {9, 9, 9})})},
        {"18-byte fmt chunk", Riff({Chunk("fmt ", fmt18), data})},
        {"RIFF size field of 0", riffSizeWrong},
    };
    for (const Layout& l : layouts)
    {
        SCOPED_TRACE(l.szName);
        WavAudio audio;
        std::string err;
        ASSERT_TRUE(Parse(l.file, &audio, &err)) << err;
        ASSERT_EQ(audio.NumChannels(), 1);
        EXPECT_EQ(audio.channels[0], (std::vector<float>{11.0f, -22.0f, 33.0f}));
    }
}

struct RejectCase
{
    const char* szName;
    Bytes file;
    const char* szWords;  // expected in the message: proves the right check fired
};

TEST(WavRead, BadFilesAreRefusedWithOneLineAndNoData)
{
    const Bytes fmt = Fmt(1, 1, 48000, 16);
    const Bytes samples = Pcm16({1, 2, 3, 4});
    Bytes notRiff = Riff({fmt, Chunk("data", samples)});
    std::memcpy(notRiff.data(), "RIFX", 4);
    Bytes notWave = Riff({fmt, Chunk("data", samples)});
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    Bytes nanData;
    PutFloat(nanData, 0.5f);
    Put32(nanData, 0x7FC00000u);
    Bytes infData;
    Put32(infData, 0x7F800000u);
    Bytes badAlign = fmt;
    badAlign[8 + 12] = 4;  // block align 4 for 16-bit mono
    Bytes threeBytes(3, 0);

    const std::vector<RejectCase> cases = {
        {"empty file", {}, "not a RIFF/WAVE"},
        {"too short", {'R', 'I', 'F', 'F', 0, 0}, "not a RIFF/WAVE"},
        {"RIFX", notRiff, "not a RIFF/WAVE"},
        {"AVI", notWave, "not a RIFF/WAVE"},
        {"ADPCM", Riff({Fmt(2, 1, 48000, 4), Chunk("data", samples)}), "encoding"},
        {"mu-law", Riff({Fmt(7, 1, 48000, 8), Chunk("data", samples)}), "encoding"},
        {"8-bit PCM", Riff({Fmt(1, 1, 48000, 8), Chunk("data", samples)}), "bit depth"},
        {"64-bit float", Riff({Fmt(3, 1, 48000, 64), Chunk("data", Bytes(16, 0))}), "bit depth"},
        {"16-bit float", Riff({Fmt(3, 1, 48000, 16), Chunk("data", samples)}), "bit depth"},
        {"extensible with a foreign GUID", Riff({FmtExtensible(1, 1, 48000, 16, 16, false), Chunk("data", samples)}),
         "encoding"},
        {"extensible 8-bit", Riff({FmtExtensible(1, 1, 48000, 8, 8), Chunk("data", samples)}), "bit depth"},
        {"3 channels", Riff({Fmt(1, 3, 48000, 16), Chunk("data", Bytes(12, 0))}), "channel"},
        {"0 channels", Riff({Fmt(1, 0, 48000, 16), Chunk("data", samples)}), "channel"},
        {"11025 Hz", Riff({Fmt(1, 1, 11025, 16), Chunk("data", samples)}), "sample rate"},
        {"200000 Hz", Riff({Fmt(1, 1, 200000, 16), Chunk("data", samples)}), "sample rate"},
        {"block align disagrees", Riff({badAlign, Chunk("data", samples)}), "block align"},
        {"fmt too short", Riff({Chunk("fmt ", Bytes(14, 0)), Chunk("data", samples)}), "fmt"},
        {"empty data", Riff({fmt, Chunk("data", {})}), "empty"},
        {"data runs past the end", Riff({fmt, Chunk("data", samples, 100)}), "truncated"},
        {"data size 0xFFFFFFFF", Riff({fmt, Chunk("data", samples, 0xFFFFFFFFu)}), "truncated"},
        {"half a frame", Riff({Fmt(1, 2, 48000, 16), Chunk("data", Bytes(6, 0))}), "whole number"},
        {"odd byte of 16-bit", Riff({fmt, Chunk("data", threeBytes)}), "whole number"},
        {"data before fmt", Riff({Chunk("data", samples), fmt}), "before the fmt"},
        {"no fmt", Riff({Chunk("junk", {1, 2})}), "no fmt"},
        {"no data", Riff({fmt, Chunk("LIST", {1, 2})}), "no data"},
        {"garbage chunk size", Riff({fmt, Chunk("junk", {1, 2}, 0xFFFFFFF7u), Chunk("data", samples)}), "truncated"},
        {"garbage fmt size", Riff({Chunk("fmt ", Bytes(16, 0), 0xFFFFFFF0u), Chunk("data", samples)}), "truncated"},
        {"NaN sample", Riff({Fmt(3, 1, 48000, 32), Chunk("data", nanData)}), "NaN"},
        {"infinite sample", Riff({Fmt(3, 1, 48000, 32), Chunk("data", infData)}), "NaN"},
    };
    for (const RejectCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        WavAudio audio;
        audio.iSampleRate = 44100;  // stale contents must not survive a failed read
        audio.channels.assign(1, std::vector<float>(3, 1.0f));
        std::string err;
        EXPECT_FALSE(Parse(c.file, &audio, &err));
        EXPECT_NE(err.find(c.szWords), std::string::npos) << "message: " << err;
        EXPECT_EQ(err.find('\n'), std::string::npos) << err;
        EXPECT_EQ(audio.NumChannels(), 0);
        EXPECT_EQ(audio.NumFrames(), 0u);
        EXPECT_EQ(audio.iSampleRate, 0);
    }
}

TEST(WavRead, RateRangeBoundsAreInclusive)
{
    for (std::uint32_t rate : {12000u, 192000u})
    {
        SCOPED_TRACE(rate);
        WavAudio audio;
        std::string err;
        EXPECT_TRUE(Parse(Riff({Fmt(1, 1, rate, 16), Chunk("data", Pcm16({5}))}), &audio, &err)) << err;
        EXPECT_EQ(audio.iSampleRate, static_cast<int>(rate));
    }
    for (std::uint32_t rate : {11999u, 192001u})
    {
        SCOPED_TRACE(rate);
        WavAudio audio;
        std::string err;
        EXPECT_FALSE(Parse(Riff({Fmt(1, 1, rate, 16), Chunk("data", Pcm16({5}))}), &audio, &err));
    }
}

TEST(WavFile, WriterRoundTripsThroughTheReader)
{
    TempFolder dir;
    WavAudio stereo;
    stereo.iSampleRate = 22050;
    stereo.channels = {{0.0f, 1.0f, -32768.0f, 32767.0f, 1.4f, 1.6f, 40000.0f, -50000.0f},
                       {-1.0f, 2.0f, 300.0f, -300.0f, -1.4f, -1.6f, 0.0f, 123.0f}};
    {
        SCOPED_TRACE("16-bit: rounded to the nearest step and clipped");
        std::string err;
        const std::string path = dir.File("s16.wav");
        ASSERT_TRUE(WriteWavFile(path, stereo, WavSampleFormat::Pcm16, &err)) << err;
        WavAudio back;
        ASSERT_TRUE(ReadWavFile(path, &back, &err)) << err;
        EXPECT_EQ(back.iSampleRate, 22050);
        ASSERT_EQ(back.NumChannels(), 2);
        EXPECT_EQ(back.channels[0], (std::vector<float>{0, 1, -32768, 32767, 1, 2, 32767, -32768}));
        EXPECT_EQ(back.channels[1], (std::vector<float>{-1, 2, 300, -300, -1, -2, 0, 123}));
    }
    {
        SCOPED_TRACE("float: exact, over-range kept");
        std::string err;
        const std::string path = dir.File("f32.wav");
        WavAudio mono;
        mono.iSampleRate = 96000;
        mono.channels = {stereo.channels[0]};
        ASSERT_TRUE(WriteWavFile(path, mono, WavSampleFormat::Float32, &err)) << err;
        WavAudio back;
        ASSERT_TRUE(ReadWavFile(path, &back, &err)) << err;
        EXPECT_EQ(back.iSampleRate, 96000);
        ASSERT_EQ(back.NumChannels(), 1);
        EXPECT_EQ(back.channels[0], mono.channels[0]);
    }
    {
        SCOPED_TRACE("the writer refuses what it cannot write");
        std::string err;
        WavAudio bad = stereo;
        bad.channels[1].pop_back();
        EXPECT_FALSE(WriteWavFile(dir.File("x.wav"), bad, WavSampleFormat::Pcm16, &err));
        bad.channels.assign(3, std::vector<float>(2, 0.0f));
        EXPECT_FALSE(WriteWavFile(dir.File("x.wav"), bad, WavSampleFormat::Pcm16, &err));
        EXPECT_FALSE(WriteWavFile(dir.File("no-such-folder/x.wav"), stereo, WavSampleFormat::Pcm16, &err));
    }
}

TEST(WavFile, FileLevelFailures)
{
    TempFolder dir;
    WavAudio audio;
    std::string err;
    EXPECT_FALSE(ReadWavFile(dir.File("missing.wav"), &audio, &err));
    EXPECT_NE(err.find("no such file"), std::string::npos) << err;
    EXPECT_FALSE(ReadWavFile(dir.File(""), &audio, &err)) << "a folder is not a recording";

    // A recording cut short on disk (an interrupted copy) is caught by the size
    // check, not read as garbage.
    const Bytes whole = Riff({Fmt(1, 2, 48000, 16), Chunk("data", Pcm16(std::vector<int>(400, 7)))});
    const std::string path = dir.WriteBytes("cut.wav", Bytes(whole.begin(), whole.end() - 10));
    EXPECT_FALSE(ReadWavFile(path, &audio, &err));
    EXPECT_NE(err.find("truncated"), std::string::npos) << err;
    EXPECT_EQ(audio.NumChannels(), 0);

    // The same bytes whole read the same from disk as from memory, across the
    // reader's internal slabs.
    std::vector<int> ramp(2 * 10000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int>(i % 65536) - 32768;
    const Bytes big = Riff({Fmt(1, 2, 48000, 16), Chunk("data", Pcm16(ramp))});
    WavAudio fromMemory, fromDisk;
    ASSERT_TRUE(Parse(big, &fromMemory, &err)) << err;
    ASSERT_TRUE(ReadWavFile(dir.WriteBytes("big.wav", big), &fromDisk, &err)) << err;
    ASSERT_EQ(fromDisk.NumFrames(), 10000u);
    EXPECT_EQ(fromDisk.channels, fromMemory.channels);
    EXPECT_EQ(fromDisk.channels[1][9999], static_cast<float>(19999 - 32768));
}

} // namespace
