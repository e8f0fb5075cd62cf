// The WAV reader on any bytes: refused with one line, or samples that are finite,
// within the float limit and read back the same after the float writer.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/WavFile.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    WavAudio audio;
    std::string error;
    if (!ParseWav(pData, nSize, &audio, &error))
    {
        FuzzCheckOneLine(error);
        FuzzCheck(audio.NumChannels() == 0 && audio.iSampleRate == 0, "a refused file leaves no audio");
        return 0;
    }
    FuzzCheck(audio.NumChannels() == 1 || audio.NumChannels() == 2, "mono or stereo");
    FuzzCheck(audio.iSampleRate >= kWavMinSampleRate && audio.iSampleRate <= kWavMaxSampleRate, "rate in range");
    FuzzCheck(audio.NumFrames() > 0, "some audio");
    for (const std::vector<float>& channel : audio.channels)
    {
        FuzzCheck(channel.size() == audio.NumFrames(), "channels of equal length");
        for (float x : channel)
            FuzzCheck(std::isfinite(x) && std::fabs(x) <= kWavMaxFloatSample * 32768.0f, "samples in range");
    }
    std::vector<unsigned char> bytes;
    FuzzCheck(EncodeWav(audio, WavSampleFormat::Float32, &bytes, &error), "what was read can be written");
    WavAudio back;
    FuzzCheck(ParseWav(bytes.data(), bytes.size(), &back, &error), "what was written can be read");
    FuzzCheck(back.iSampleRate == audio.iSampleRate && back.channels == audio.channels, "float round trip");
    return 0;
}
