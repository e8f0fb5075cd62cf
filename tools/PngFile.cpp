#include "tools/PngFile.h"

#include <zlib.h>

#include <fstream>

namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Length, type, data and the CRC over type and data.
void PutChunk(std::vector<std::uint8_t>& out, const char* szType, const std::vector<std::uint8_t>& data)
{
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), szType, szType + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), out.data() + start, static_cast<uInt>(out.size() - start));
    PutU32(out, static_cast<std::uint32_t>(crc));
}

} // namespace

std::vector<std::uint8_t> EncodePng(const RgbImage& image)
{
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<std::uint8_t> out(kSignature, kSignature + 8);

    std::vector<std::uint8_t> header;
    PutU32(header, static_cast<std::uint32_t>(image.iWidth));
    PutU32(header, static_cast<std::uint32_t>(image.iHeight));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter choice, no interlace
    PutChunk(out, "IHDR", header);

    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<size_t>(image.iHeight) * (1 + 3 * static_cast<size_t>(image.iWidth)));
    for (int y = 0; y < image.iHeight; ++y)
    {
        raw.push_back(0);  // filter type: none
        for (int x = 0; x < image.iWidth; ++x)
        {
            const RgbPixel& p = image.At(x, y);
            raw.insert(raw.end(), {p.r, p.g, p.b});
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
        return {};
    packed.resize(packedSize);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});
    return out;
}

bool WritePngFile(const std::string& path, const RgbImage& image, std::string* pError)
{
    const std::vector<std::uint8_t> bytes = EncodePng(image);
    if (bytes.empty())
    {
        if (pError)
            *pError = "cannot compress the picture";
        return false;
    }
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file.good())
    {
        if (pError)
            *pError = "cannot write " + path;
        return false;
    }
    return true;
}
