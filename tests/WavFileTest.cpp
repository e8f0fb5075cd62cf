// The WAV reader: every accepted encoding and chunk layout lands in the engine's
// 16-bit scale; every bad file is refused with one line and no data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/WavFile.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Channels = std::vector<std::vector<float>>;

// Each value as n little-endian bytes.
Bytes Le(std::initializer_list<long long> values, int n)
{
    Bytes b;
    for (long long v : values)
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<unsigned char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xFF));
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes b;
    for (const Bytes& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

// A chunk with its size field (a lie when llSize is given) and the pad byte an odd
// size calls for.
Bytes Chunk(const char* szId, const Bytes& payload, long long llSize = -1)
{
    const long long llField = llSize < 0 ? static_cast<long long>(payload.size()) : llSize;
    Bytes b = Cat({Bytes(szId, szId + 4), Le({llField}, 4), payload});
    if (payload.size() & 1)
        b.push_back(0);
    return b;
}

// A fmt chunk; given valid bits, the extensible form with iTag as its sub-format.
Bytes Fmt(int iTag, int iChannels, int iRate, int iBits, int iValidBits = 0, unsigned char cGuidEnd = 0x71)
{
    const int iAlign = iChannels * iBits / 8;
    Bytes b = Cat({Le({iValidBits ? 0xFFFE : iTag, iChannels}, 2), Le({iRate, iRate * iAlign}, 4),
                   Le({iAlign, iBits}, 2)});
    if (iValidBits)
        b = Cat({b, Le({22, iValidBits}, 2), Le({iChannels == 1 ? 4 : 3}, 4), Le({iTag}, 2),
                 {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, cGuidEnd}});
    return Chunk("fmt ", b);
}

Bytes Riff(std::initializer_list<Bytes> chunks)
{
    const Bytes body = Cat({{'W', 'A', 'V', 'E'}, Cat(chunks)});
    return Cat({{'R', 'I', 'F', 'F'}, Le({static_cast<long long>(body.size())}, 4), body});
}

TEST(WavRead, AcceptedFilesLandInSixteenBitScale)
{
    const Bytes p16 = Chunk("data", Le({-32768, -1, 0, 1, 32767}, 2));
    const Bytes p24 = Chunk("data", Le({0x7FFFFF, -0x800000, 0x100, -0x80, 1}, 3));
    const Bytes p32 = Chunk("data", Le({0x7FFFFFFF, -0x80000000LL, 0x10000, -0x8000, 1}, 4));
    // Float bits of 1, -0.5, 2^-17, -1 and 1.25.
    const Bytes f32 = Chunk("data", Le({0x3F800000, 0xBF000000, 0x37000000, 0xBF800000, 0x3FA00000}, 4));
    const Channels e16 = {{-32768.0f, -1.0f, 0.0f, 1.0f, 32767.0f}};
    const Channels e24 = {{32767.99609375f, -32768.0f, 1.0f, -0.5f, 1.0f / 256.0f}};
    const Channels e32 = {{32768.0f, -32768.0f, 1.0f, -0.5f, 1.0f / 65536.0f}};
    const Channels eFloat = {{32768.0f, -16384.0f, 0.25f, -32768.0f, 40960.0f}};  // over-range kept
    const Bytes fmt = Fmt(1, 1, 48000, 16), data = Chunk("data", Le({11, -22, 33}, 2));
    const Channels e3 = {{11.0f, -22.0f, 33.0f}};
    const Bytes fmt18 = {1, 0, 1, 0, 0x80, 0xBB, 0, 0, 0, 0x77, 1, 0, 2, 0, 16, 0, 0, 0};  // cbSize present
    Bytes riffSize0 = Riff({fmt, data});
    std::fill(riffSize0.begin() + 4, riffSize0.begin() + 8, 0);
    const struct { const char* szName; Bytes file; int iRate; Channels expected; } cases[] = {
        {"pcm16", Riff({fmt, p16}), 48000, e16},
        {"pcm24", Riff({Fmt(1, 1, 48000, 24), p24}), 48000, e24},
        {"pcm32", Riff({Fmt(1, 1, 48000, 32), p32}), 48000, e32},
        {"float", Riff({Fmt(3, 1, 48000, 32), f32}), 48000, eFloat},
        {"extensible pcm16", Riff({Fmt(1, 1, 48000, 16, 16), p16}), 48000, e16},
        {"extensible pcm32, 24 valid bits", Riff({Fmt(1, 1, 48000, 32, 24), p32}), 48000, e32},
        {"extensible float", Riff({Fmt(3, 1, 48000, 32, 32), f32}), 48000, eFloat},
        {"stereo pcm16: left then right", Riff({Fmt(1, 2, 44100, 16), Chunk("data", Le({100, -200, 101, -201}, 2))}),
         44100, {{100.0f, 101.0f}, {-200.0f, -201.0f}}},
        {"lowest rate", Riff({Fmt(1, 1, 12000, 16), data}), 12000, e3},
        {"highest rate", Riff({Fmt(1, 1, 192000, 16), data}), 192000, e3},
        {"odd chunk before fmt", Riff({Chunk("junk", {1, 2, 3}), fmt, data}), 48000, e3},
        {"odd chunk between fmt and data", Riff({fmt, Chunk("LIST", {'a', 'b', 'c', 'd', 'e'}), data}), 48000, e3},
        {"empty chunk, chunk after data", Riff({Chunk("fact", {}), fmt, data, Chunk("id3 ", {9, 9, 9})}), 48000, e3},
        {"18-byte fmt", Riff({Chunk("fmt ", fmt18), data}), 48000, e3},
        {"RIFF size field 0", riffSize0, 48000, e3},
        {"float at 100 times full scale", Riff({Fmt(3, 1, 48000, 32), Chunk("data", Le({0x42C80000, 0xC2C80000}, 4))}),
         48000, {{3276800.0f, -3276800.0f}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.szName);
        WavAudio audio;
        std::string err;
        ASSERT_TRUE(ParseWav(c.file.data(), c.file.size(), &audio, &err)) << err;
        EXPECT_EQ(audio.iSampleRate, c.iRate);
        EXPECT_EQ(audio.channels, c.expected);
    }
}

TEST(WavRead, BadFilesAreRefusedWithOneLineAndNoData)
{
    const Bytes fmt = Fmt(1, 1, 48000, 16), data = Chunk("data", Le({1, 2, 3, 4}, 2));
    Bytes rifx = Riff({fmt, data}), avi = rifx, badAlign = fmt;
    std::memcpy(rifx.data(), "RIFX", 4);
    std::memcpy(avi.data() + 8, "AVI ", 4);
    badAlign[20] = 4;  // block align 4 for 16-bit mono
    const char* szNotWave = "not a RIFF/WAVE";
    // szWords, expected in the message, proves that the right check fired.
    const struct { const char* szName; Bytes file; const char* szWords; } cases[] = {
        {"empty file", {}, szNotWave},
        {"shorter than a header", {'R', 'I', 'F', 'F', 0, 0}, szNotWave},
        {"RIFX", rifx, szNotWave},
        {"AVI", avi, szNotWave},
        {"mu-law", Riff({Fmt(7, 1, 48000, 8), data}), "encoding"},
        {"extensible, foreign GUID", Riff({Fmt(1, 1, 48000, 16, 16, 0x72), data}), "encoding"},
        {"8-bit PCM", Riff({Fmt(1, 1, 48000, 8), data}), "bit depth"},
        {"16-bit float", Riff({Fmt(3, 1, 48000, 16), data}), "bit depth"},
        {"64-bit float", Riff({Fmt(3, 1, 48000, 64), data}), "bit depth"},
        {"extensible 8-bit", Riff({Fmt(1, 1, 48000, 8, 8), data}), "bit depth"},
        {"more valid bits than bits", Riff({Fmt(1, 1, 48000, 16, 24), data}), "valid bits"},
        {"0 channels", Riff({Fmt(1, 0, 48000, 16), data}), "channel"},
        {"3 channels", Riff({Fmt(1, 3, 48000, 16), data}), "channel"},
        {"11999 Hz", Riff({Fmt(1, 1, 11999, 16), data}), "sample rate"},
        {"192001 Hz", Riff({Fmt(1, 1, 192001, 16), data}), "sample rate"},
        {"block align disagrees", Riff({badAlign, data}), "block align"},
        {"fmt too short", Riff({Chunk("fmt ", Bytes(14, 0)), data}), "malformed fmt"},
        {"empty data", Riff({fmt, Chunk("data", {})}), "empty"},
        {"data 2 bytes short", Riff({fmt, Chunk("data", Bytes(8, 0), 10)}), "truncated"},
        {"data size 0xFFFFFFFF", Riff({fmt, Chunk("data", Bytes(8, 0), 0xFFFFFFFF)}), "truncated"},
        {"other chunk size garbage", Riff({fmt, Chunk("junk", {1, 2}, 0xFFFFFFF7), data}), "truncated"},
        {"half a frame", Riff({Fmt(1, 2, 48000, 16), Chunk("data", Bytes(6, 0))}), "whole number"},
        {"data before fmt", Riff({data, fmt}), "before the fmt"},
        {"no fmt", Riff({Chunk("junk", {1, 2})}), "no fmt"},
        {"no data", Riff({fmt, Chunk("LIST", {1, 2})}), "no data"},
        {"NaN sample", Riff({Fmt(3, 1, 48000, 32), Chunk("data", Le({0x3F000000, 0x7FC00000}, 4))}), "NaN"},
        {"infinite sample", Riff({Fmt(3, 1, 48000, 32), Chunk("data", Le({0x7F800000}, 4))}), "NaN"},
        // 1e20, 1e34 and 100.01: no recording, and no reading may be made of them.
        {"1e20 sample", Riff({Fmt(3, 1, 48000, 32), Chunk("data", Le({0, 0x60AD78EC}, 4))}), "full scale"},
        {"1e34 sample", Riff({Fmt(3, 1, 48000, 32), Chunk("data", Le({0x77F684DF}, 4))}), "full scale"},
        {"just over the limit", Riff({Fmt(3, 1, 48000, 32), Chunk("data", Le({0x42C8051F}, 4))}), "full scale"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.szName);
        WavAudio audio;
        audio.iSampleRate = 44100;  // stale contents must not survive a failed read
        audio.channels.assign(1, std::vector<float>(3, 1.0f));
        std::string err;
        EXPECT_FALSE(ParseWav(c.file.data(), c.file.size(), &audio, &err));
        EXPECT_NE(err.find(c.szWords), std::string::npos) << "message: " << err;
        EXPECT_EQ(err.find('\n'), std::string::npos) << err;
        EXPECT_EQ(audio.NumChannels(), 0);
        EXPECT_EQ(audio.iSampleRate, 0);
    }
}

} // namespace
