#include "base/WavFile.h"

#include "base/FileRead.h"

#include <algorithm>
#include <cstdarg>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

// The sixteen bytes of an extensible sub-format GUID after its leading 16-bit tag.
constexpr unsigned char kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t Le16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutLe16(std::vector<unsigned char>& v, std::uint16_t x)
{
    v.push_back(static_cast<unsigned char>(x & 0xFF));
    v.push_back(static_cast<unsigned char>(x >> 8));
}

void PutLe32(std::vector<unsigned char>& v, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<unsigned char>((x >> (8 * i)) & 0xFF));
}

std::string Format(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* szFormat, ...)
{
    char sz[256];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(sz, sizeof(sz), szFormat, args);
    va_end(args);
    return sz;
}

// A chunk id as text; anything unprintable (garbage after a damaged chunk) as '?'.
std::string ChunkName(const unsigned char* p)
{
    std::string s(4, '?');
    for (int i = 0; i < 4; ++i)
        if (p[i] >= 0x20 && p[i] < 0x7F)
            s[static_cast<size_t>(i)] = static_cast<char>(p[i]);
    return s;
}

// Random access to the bytes of a file or of a buffer, so one parser serves both
// and a large recording never has to sit in memory as raw bytes.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    virtual bool Read(std::uint64_t offset, unsigned char* p, size_t n) = 0;
};

class MemorySource : public ByteSource
{
public:
    MemorySource(const unsigned char* p, size_t n) : m_p(p), m_n(n) {}
    std::uint64_t Size() const override { return m_n; }
    bool Read(std::uint64_t offset, unsigned char* p, size_t n) override
    {
        if (offset > m_n || n > m_n - offset)
            return false;
        if (n)
            std::memcpy(p, m_p + offset, n);
        return true;
    }

private:
    const unsigned char* m_p;
    size_t m_n;
};

class FileSource : public ByteSource
{
public:
    explicit FileSource(std::ifstream& in, std::uint64_t size) : m_In(in), m_Size(size) {}
    std::uint64_t Size() const override { return m_Size; }
    bool Read(std::uint64_t offset, unsigned char* p, size_t n) override
    {
        if (offset > m_Size || n > m_Size - offset)
            return false;
        m_In.clear();
        m_In.seekg(static_cast<std::streamoff>(offset));
        m_In.read(reinterpret_cast<char*>(p), static_cast<std::streamsize>(n));
        return static_cast<size_t>(m_In.gcount()) == n;
    }

private:
    std::ifstream& m_In;
    std::uint64_t m_Size;
};

struct FormatInfo
{
    bool bFloat = false;
    int iBits = 0;          // container bits per sample
    int iChannels = 0;
    std::uint32_t uRate = 0;
    int iFrameBytes = 0;
};

// Checks the fmt chunk (the first up to 40 bytes of it); empty when usable.
std::string ParseFormat(const unsigned char* p, std::uint32_t uLength, FormatInfo* pInfo)
{
    if (uLength < 16)
        return Format("malformed fmt chunk (%u bytes, at least 16 needed)", uLength);
    std::uint16_t uTag = Le16(p);
    const int iChannels = Le16(p + 2);
    const std::uint32_t uRate = Le32(p + 4);
    const int iBlockAlign = Le16(p + 12);
    const int iBits = Le16(p + 14);

    if (uTag == kTagExtensible)
    {
        if (uLength < 40 || Le16(p + 16) < 22)
            return "malformed extensible fmt chunk (too short)";
        const int iValidBits = Le16(p + 18);
        if (std::memcmp(p + 26, kSubFormatTail, sizeof(kSubFormatTail)) != 0 ||
            (Le16(p + 24) != kTagPcm && Le16(p + 24) != kTagFloat))
            return "unsupported encoding (extensible sub-format is neither PCM nor IEEE float)";
        if (iValidBits > iBits)
            return Format("malformed extensible fmt chunk (%d valid bits in a %d-bit sample)", iValidBits,
                          iBits);
        uTag = Le16(p + 24);
    }

    if (uTag == kTagPcm)
    {
        if (iBits != 16 && iBits != 24 && iBits != 32)
            return Format("unsupported bit depth: %d-bit PCM (16, 24 or 32-bit only)", iBits);
    }
    else if (uTag == kTagFloat)
    {
        if (iBits != 32)
            return Format("unsupported bit depth: %d-bit float (32-bit only)", iBits);
    }
    else
    {
        return Format("unsupported encoding (format tag 0x%04X; PCM or IEEE float only)", uTag);
    }

    if (iChannels != 1 && iChannels != 2)
        return Format("unsupported channel count %d (mono or stereo only)", iChannels);
    if (uRate < static_cast<std::uint32_t>(kWavMinSampleRate) || uRate > static_cast<std::uint32_t>(kWavMaxSampleRate))
        return Format("sample rate %u Hz out of range (%d to %d Hz)", uRate, kWavMinSampleRate, kWavMaxSampleRate);
    const int iFrameBytes = iChannels * iBits / 8;
    if (iBlockAlign != iFrameBytes)
        return Format("malformed fmt chunk (block align %d, expected %d)", iBlockAlign, iFrameBytes);

    pInfo->bFloat = uTag == kTagFloat;
    pInfo->iBits = iBits;
    pInfo->iChannels = iChannels;
    pInfo->uRate = uRate;
    pInfo->iFrameBytes = iFrameBytes;
    return std::string();
}

// One sample in 16-bit scale.
float DecodeSample(const unsigned char* p, const FormatInfo& f)
{
    if (f.bFloat)
    {
        float x;
        const std::uint32_t u = Le32(p);
        std::memcpy(&x, &u, sizeof(x));
        return x * 32768.0f;
    }
    switch (f.iBits)
    {
    case 16:
        return static_cast<float>(static_cast<std::int16_t>(Le16(p)));
    case 24:
    {
        std::int32_t v = static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
        if (v & 0x800000)
            v -= 0x1000000;
        return static_cast<float>(v) / 256.0f;  // exact: 24 bits fit a float
    }
    default:
        // Through double so the 32-bit value is rounded once, not twice.
        return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(Le32(p))) / 65536.0);
    }
}

std::string DecodeData(ByteSource& src, std::uint64_t uStart, std::uint32_t uLength, const FormatInfo& f,
                       WavAudio* pAudio)
{
    const size_t nFrames = uLength / static_cast<std::uint32_t>(f.iFrameBytes);
    pAudio->iSampleRate = static_cast<int>(f.uRate);
    // Each channel is sized where it lives: a filled temporary copied into place
    // would double the peak memory of a long recording.
    pAudio->channels.resize(static_cast<size_t>(f.iChannels));
    for (std::vector<float>& channel : pAudio->channels)
        channel.resize(nFrames);

    const size_t nSlabFrames = 4096;
    std::vector<unsigned char> slab(nSlabFrames * static_cast<size_t>(f.iFrameBytes));
    const size_t nSampleBytes = static_cast<size_t>(f.iBits / 8);
    for (size_t start = 0; start < nFrames; start += nSlabFrames)
    {
        const size_t n = std::min(nSlabFrames, nFrames - start);
        if (!src.Read(uStart + static_cast<std::uint64_t>(start) * static_cast<std::uint64_t>(f.iFrameBytes),
                      slab.data(), n * static_cast<size_t>(f.iFrameBytes)))
            return "read error in the data chunk";
        const unsigned char* p = slab.data();
        for (size_t i = 0; i < n; ++i)
        {
            for (int c = 0; c < f.iChannels; ++c, p += nSampleBytes)
            {
                const float x = DecodeSample(p, f);
                // A NaN or infinity would poison the engine's recursive filters for
                // the rest of the file, so such a file is refused outright.
                if (!std::isfinite(x))
                    return "invalid float sample (NaN or infinity) at frame " + std::to_string(start + i);
                if (std::fabs(x) > kWavMaxFloatSample * 32768.0f)
                    return Format("float sample %g at frame %llu is far beyond full scale (at most +-%g)",
                                  static_cast<double>(x / 32768.0f), static_cast<unsigned long long>(start + i),
                                  static_cast<double>(kWavMaxFloatSample));
                pAudio->channels[static_cast<size_t>(c)][start + i] = x;
            }
        }
    }
    return std::string();
}

// Walks the chunks; with pAudio null it stops at the data chunk with *pInfo filled.
std::string Parse(ByteSource& src, WavInfo* pInfo, WavAudio* pAudio)
{
    const std::uint64_t uSize = src.Size();
    unsigned char head[12];
    if (uSize < 12 || !src.Read(0, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return "not a RIFF/WAVE file";

    // The chunks are walked up to the real end of the file: the RIFF size field is
    // often wrong in files from streaming writers, and trusting it buys nothing.
    FormatInfo info;
    bool bHaveFormat = false;
    std::uint64_t uPos = 12;
    while (uPos <= uSize && uSize - uPos >= 8)
    {
        unsigned char chunk[8];
        if (!src.Read(uPos, chunk, 8))
            return "read error";
        const std::uint32_t uLength = Le32(chunk + 4);
        const std::uint64_t uContent = uPos + 8;
        const std::uint64_t uLeft = uSize - uContent;

        if (std::memcmp(chunk, "data", 4) == 0)
        {
            if (!bHaveFormat)
                return "malformed file: data chunk before the fmt chunk";
            if (uLength > uLeft)
                return Format("truncated data: the data chunk declares %u bytes but only ", uLength) +
                       std::to_string(uLeft) + " follow";
            if (uLength == 0)
                return "no audio: the data chunk is empty";
            if (uLength % static_cast<std::uint32_t>(info.iFrameBytes) != 0)
                return Format("truncated data: %u bytes is not a whole number of %d-byte frames", uLength,
                              info.iFrameBytes);
            *pInfo = WavInfo{static_cast<int>(info.uRate), info.iChannels,
                             uLength / static_cast<std::uint32_t>(info.iFrameBytes)};
            return pAudio ? DecodeData(src, uContent, uLength, info, pAudio) : std::string();
        }

        if (uLength > uLeft)
            return Format("truncated file: the '%s' chunk runs past the end of the file",
                          ChunkName(chunk).c_str());
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !bHaveFormat)
        {
            unsigned char fmt[40] = {};
            if (!src.Read(uContent, fmt, std::min<std::uint32_t>(uLength, sizeof(fmt))))
                return "read error in the fmt chunk";
            const std::string sBad = ParseFormat(fmt, uLength, &info);
            if (!sBad.empty())
                return sBad;
            bHaveFormat = true;
        }
        // Chunks are word aligned: an odd-sized chunk is followed by a pad byte.
        uPos = uContent + uLength + (uLength & 1u);
    }
    return bHaveFormat ? "no data chunk" : "no fmt chunk";
}

bool Finish(const std::string& sError, WavAudio* pAudio, std::string* pError)
{
    if (sError.empty())
        return true;
    *pAudio = WavAudio();
    if (pError)
        *pError = sError;
    return false;
}

bool ParseSource(ByteSource& src, WavAudio* pAudio, std::string* pError)
{
    *pAudio = WavAudio();
    std::string sError;
    try
    {
        WavInfo info;
        sError = Parse(src, &info, pAudio);
    }
    catch (const std::bad_alloc&)
    {
        sError = "not enough memory for the recording";
    }
    catch (const std::length_error&)
    {
        sError = "not enough memory for the recording";
    }
    return Finish(sError, pAudio, pError);
}

// Opens a regular file only: a FIFO would block in the open, a device never end.
std::string OpenFile(const std::string& path, std::ifstream* pIn, std::uint64_t* pSize)
{
    const std::string sProblem = RegularFileProblem(path);
    if (!sProblem.empty())
        return sProblem;
    pIn->open(path, std::ios::binary);
    if (!*pIn)
        return "cannot open the file";
    pIn->seekg(0, std::ios::end);
    const std::streamoff size = pIn->tellg();
    if (size < 0)
        return "cannot read the file";
    *pSize = static_cast<std::uint64_t>(size);
    return std::string();
}

} // namespace

bool ParseWav(const unsigned char* pData, size_t nSize, WavAudio* pAudio, std::string* pError)
{
    MemorySource src(pData, pData ? nSize : 0);
    return ParseSource(src, pAudio, pError);
}

bool ReadWavFile(const std::string& path, WavAudio* pAudio, std::string* pError)
{
    *pAudio = WavAudio();
    std::ifstream in;
    std::uint64_t uSize = 0;
    const std::string sProblem = OpenFile(path, &in, &uSize);
    if (!sProblem.empty())
        return Finish(sProblem, pAudio, pError);
    FileSource src(in, uSize);
    return ParseSource(src, pAudio, pError);
}

bool ReadWavInfo(const std::string& path, WavInfo* pInfo, std::string* pError)
{
    *pInfo = WavInfo();
    std::ifstream in;
    std::uint64_t uSize = 0;
    std::string sError = OpenFile(path, &in, &uSize);
    if (sError.empty())
    {
        FileSource src(in, uSize);
        sError = Parse(src, pInfo, nullptr);
    }
    if (sError.empty())
        return true;
    *pInfo = WavInfo();
    if (pError)
        *pError = sError;
    return false;
}

bool EncodeWav(const WavAudio& audio, WavSampleFormat format, std::vector<unsigned char>* pBytes,
               std::string* pError)
{
    std::vector<unsigned char>& v = *pBytes;
    v.clear();
    auto fail = [pError](const char* sz) {
        if (pError)
            *pError = sz;
        return false;
    };
    const int iChannels = audio.NumChannels();
    if (iChannels < 1 || iChannels > 2)
        return fail("only mono or stereo audio can be written");
    if (iChannels == 2 && audio.channels[1].size() != audio.channels[0].size())
        return fail("the channels differ in length");
    const int iSampleBytes = format == WavSampleFormat::Pcm16 ? 2 : 4;
    const std::uint64_t uData = static_cast<std::uint64_t>(audio.NumFrames()) *
                                static_cast<std::uint64_t>(iChannels * iSampleBytes);
    if (uData > 0xFFFFFFF0ull)
        return fail("too much audio for one WAV file");

    v.reserve(static_cast<size_t>(uData) + 44);
    v.insert(v.end(), {'R', 'I', 'F', 'F'});
    PutLe32(v, static_cast<std::uint32_t>(36 + uData));
    v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe32(v, 16);
    PutLe16(v, format == WavSampleFormat::Pcm16 ? kTagPcm : kTagFloat);
    PutLe16(v, static_cast<std::uint16_t>(iChannels));
    PutLe32(v, static_cast<std::uint32_t>(audio.iSampleRate));
    PutLe32(v, static_cast<std::uint32_t>(audio.iSampleRate) * static_cast<std::uint32_t>(iChannels * iSampleBytes));
    PutLe16(v, static_cast<std::uint16_t>(iChannels * iSampleBytes));
    PutLe16(v, static_cast<std::uint16_t>(8 * iSampleBytes));
    v.insert(v.end(), {'d', 'a', 't', 'a'});
    PutLe32(v, static_cast<std::uint32_t>(uData));
    for (size_t i = 0; i < audio.NumFrames(); ++i)
    {
        for (int c = 0; c < iChannels; ++c)
        {
            const float x = audio.channels[static_cast<size_t>(c)][i];
            if (format == WavSampleFormat::Pcm16)
            {
                const float clipped = std::isnan(x) ? 0.0f : std::min(32767.0f, std::max(-32768.0f, x));
                PutLe16(v, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lrint(clipped))));
            }
            else
            {
                const float y = x / 32768.0f;
                std::uint32_t u;
                std::memcpy(&u, &y, sizeof(u));
                PutLe32(v, u);
            }
        }
    }
    return true;
}

bool WriteWavFile(const std::string& path, const WavAudio& audio, WavSampleFormat format, std::string* pError)
{
    auto fail = [pError](const std::string& s) {
        if (pError)
            *pError = s;
        return false;
    };
    std::vector<unsigned char> v;
    if (!EncodeWav(audio, format, &v, pError))
        return false;
    const std::string sProblem = RegularFileProblem(path, true);
    if (!sProblem.empty())
        return fail(sProblem);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return fail("cannot create the file");
    out.write(reinterpret_cast<const char*>(v.data()), static_cast<std::streamsize>(v.size()));
    out.close();
    if (!out)
        return fail("cannot write the file");
    return true;
}
