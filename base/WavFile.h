#pragma once
// Reading and writing RIFF/WAVE recordings for the offline tools. Samples come
// out in the engine's 16-bit scale (full scale 32768), one array per channel.
#include <cstdint>
#include <string>
#include <vector>

struct WavAudio
{
    int iSampleRate = 0;
    std::vector<std::vector<float>> channels;  // 1 (mono) or 2 (left, right) arrays of equal length

    int NumChannels() const { return static_cast<int>(channels.size()); }
    size_t NumFrames() const { return channels.empty() ? 0 : channels[0].size(); }
};

constexpr int kWavMinSampleRate = 12000;
constexpr int kWavMaxSampleRate = 192000;

// Full scale of a float file is +-1.0. Mixes often run somewhat over it, so
// samples up to 100 times full scale (+40 dB) are read; beyond that the file is
// damaged or not audio at all, and a reading of it would be invented.
constexpr float kWavMaxFloatSample = 100.0f;

// What the header says, read without decoding a sample.
struct WavInfo
{
    int iSampleRate = 0;
    int iChannels = 0;
    std::uint64_t uFrames = 0;
};

// Reads PCM 16/24/32-bit integer or 32-bit float (plain or extensible format),
// mono or stereo, 12000..192000 Hz. On failure returns false, leaves *pAudio
// empty and puts one line describing the fault in *pError.
bool ReadWavFile(const std::string& path, WavAudio* pAudio, std::string* pError);

// Only the header, with every check the full read makes before the samples: the
// memory a recording needs can be judged before it is spent.
bool ReadWavInfo(const std::string& path, WavInfo* pInfo, std::string* pError);

// The same from bytes already in memory.
bool ParseWav(const unsigned char* pData, size_t nSize, WavAudio* pAudio, std::string* pError);

enum class WavSampleFormat
{
    Pcm16,    // rounded and clipped to 16 bits
    Float32,  // value / 32768
};

// Encodes a mono or stereo file; false with a message when the audio has no
// channel, more than two, channels of different lengths, or is too long.
bool EncodeWav(const WavAudio& audio, WavSampleFormat format, std::vector<unsigned char>* pBytes,
               std::string* pError);

// The same into a file; false with a message also when the file fails.
bool WriteWavFile(const std::string& path, const WavAudio& audio, WavSampleFormat format,
                  std::string* pError);
