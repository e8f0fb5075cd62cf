#include "base/PngFile.h"

#include "base/FileRead.h"

// The inflate input is then a pointer to const, as our bytes are.
#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

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
    // A FIFO or device would block the open or swallow the picture.
    const std::string sProblem = RegularFileProblem(path, true);
    if (!sProblem.empty())
    {
        if (pError)
            *pError = "cannot write " + path + ": " + sProblem;
        return false;
    }
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

namespace {

bool Fail(std::string* pError, const std::string& why)
{
    if (pError)
        *pError = why;
    return false;
}

std::uint32_t GetU32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

struct PngHeader
{
    std::uint32_t width = 0, height = 0;
    int channels = 0;  // 3 RGB, 4 RGBA
};

bool ParseHeader(const std::uint8_t* p, PngHeader* pHeader, std::string* pError)
{
    const std::uint32_t w = GetU32(p), h = GetU32(p + 4);
    const int depth = p[8], colourType = p[9], compression = p[10], filter = p[11], interlace = p[12];
    if (w == 0 || h == 0)
        return Fail(pError, "PNG has zero width or height");
    if (w > kPngMaxSide || h > kPngMaxSide || std::uint64_t{w} * h > kPngMaxPixels)
        return Fail(pError, "PNG too large: " + std::to_string(w) + " x " + std::to_string(h) + " pixels");
    if (depth != 8)
        return Fail(pError, "unsupported PNG bit depth " + std::to_string(depth) + " (only 8)");
    if (colourType != 2 && colourType != 6)
        return Fail(pError, "unsupported PNG colour type " + std::to_string(colourType) + " (only RGB and RGBA)");
    if (compression != 0 || filter != 0)
        return Fail(pError, "unknown PNG compression or filter method");
    if (interlace != 0)
        return Fail(pError, "unsupported PNG interlace method " + std::to_string(interlace));
    pHeader->width = w;
    pHeader->height = h;
    pHeader->channels = colourType == 6 ? 4 : 3;
    return true;
}

// Inflates the zlib stream, which must hold exactly `expected` bytes. The buffer
// grows with what the stream really yields, not with the header's claim, so a
// forged size with little data behind it costs little memory.
bool Inflate(const std::vector<std::uint8_t>& packed, size_t expected, std::vector<std::uint8_t>* pOut,
             std::string* pError)
{
    constexpr size_t kStep = 1 << 16;
    const size_t limit = expected + 1;  // room for one byte too many shows an overlong stream
    std::vector<std::uint8_t>& out = *pOut;
    out.clear();
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return Fail(pError, "zlib cannot start");
    size_t inPos = 0;
    std::string why;
    for (;;)
    {
        if (zs.avail_in == 0 && inPos < packed.size())
        {
            const size_t n = std::min(packed.size() - inPos, kStep * 16);
            zs.next_in = packed.data() + inPos;
            zs.avail_in = static_cast<uInt>(n);
            inPos += n;
        }
        if (zs.avail_out == 0)
        {
            const size_t used = out.size();
            if (used >= limit)
            {
                why = "PNG has more image data than its size needs";
                break;
            }
            out.resize(std::min(limit, std::max(used * 2, kStep)));
            zs.next_out = out.data() + used;
            zs.avail_out = static_cast<uInt>(out.size() - used);
        }
        const int rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
        {
            why = std::string("corrupt PNG image data") + (zs.msg ? std::string(": ") + zs.msg : std::string());
            break;
        }
        if (zs.avail_in == 0 && inPos == packed.size() && zs.avail_out != 0)
        {
            why = "PNG image data ends early";
            break;
        }
    }
    const size_t produced = out.size() - zs.avail_out;
    inflateEnd(&zs);
    if (!why.empty())
        return Fail(pError, why);
    if (produced != expected)
        return Fail(pError, "PNG image data has " + std::to_string(produced) + " bytes, the size needs " +
                                std::to_string(expected));
    out.resize(produced);
    return true;
}

int Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Undoes the row filters in place; each row is its filter byte and the samples.
bool Unfilter(std::vector<std::uint8_t>& raw, const PngHeader& h, std::string* pError)
{
    const size_t bpp = static_cast<size_t>(h.channels);
    const size_t stride = bpp * h.width;
    const std::vector<std::uint8_t> zeros(stride, 0);
    const std::uint8_t* up = zeros.data();  // the row above the first reads as zeros
    for (std::uint32_t y = 0; y < h.height; ++y)
    {
        std::uint8_t* row = raw.data() + y * (stride + 1);
        const int filter = row[0];
        std::uint8_t* cur = row + 1;
        if (filter > 4)
            return Fail(pError, "bad PNG row filter " + std::to_string(filter) + " in row " + std::to_string(y));
        for (size_t i = 0; i < stride; ++i)
        {
            const int a = i >= bpp ? cur[i - bpp] : 0, b = up[i], c = i >= bpp ? up[i - bpp] : 0;
            const int predicted = filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                                : filter == 4 ? Paeth(a, b, c) : 0;
            cur[i] = static_cast<std::uint8_t>(cur[i] + predicted);
        }
        up = cur;
    }
    return true;
}

} // namespace

bool DecodePng(const std::vector<std::uint8_t>& bytes, RgbImage* pImage, std::string* pError)
{
    if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin()))
        return Fail(pError, "not a PNG file (bad signature)");
    PngHeader header;
    bool bHaveHeader = false;
    std::vector<std::uint8_t> packed;
    size_t pos = 8;
    for (bool bEnd = false; !bEnd;)
    {
        const size_t left = bytes.size() - pos;
        if (left == 0)
            return Fail(pError, "PNG ends without an IEND chunk");
        const std::uint8_t* p = bytes.data() + pos;
        const std::uint32_t len = left >= 4 ? GetU32(p) : 0;
        if (left < 12 || len > left - 12)
            return Fail(pError, "truncated PNG chunk at byte " + std::to_string(pos));
        const std::string type(reinterpret_cast<const char*>(p + 4), 4);
        if (!std::all_of(type.begin(), type.end(), [](char ch) { return std::isalpha(static_cast<unsigned char>(ch)); }))
            return Fail(pError, "bad PNG chunk type at byte " + std::to_string(pos));
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), p + 4, static_cast<uInt>(len + 4));
        if (crc != GetU32(p + 8 + len))
            return Fail(pError, "CRC mismatch in PNG chunk " + type);
        const std::uint8_t* data = p + 8;
        pos += 12 + size_t{len};

        if (!bHaveHeader && type != "IHDR")
            return Fail(pError, "PNG does not start with an IHDR chunk");
        if (type == "IHDR")
        {
            if (bHaveHeader || len != 13)
                return Fail(pError, "bad PNG IHDR chunk");
            if (!ParseHeader(data, &header, pError))
                return false;
            bHaveHeader = true;
        }
        else if (type == "IDAT")
            packed.insert(packed.end(), data, data + len);
        else if (type == "IEND")
            bEnd = true;
        else if (type != "PLTE" && std::isupper(static_cast<unsigned char>(type[0])))
            return Fail(pError, "unsupported critical PNG chunk " + type);
    }
    if (packed.empty())
        return Fail(pError, "PNG has no image data");

    const size_t stride = static_cast<size_t>(header.channels) * header.width;
    std::vector<std::uint8_t> raw;
    if (!Inflate(packed, header.height * (stride + 1), &raw, pError) || !Unfilter(raw, header, pError))
        return false;
    RgbImage image(static_cast<int>(header.width), static_cast<int>(header.height));
    for (std::uint32_t y = 0; y < header.height; ++y)
    {
        const std::uint8_t* s = raw.data() + y * (stride + 1) + 1;
        for (std::uint32_t x = 0; x < header.width; ++x, s += header.channels)
            image.At(static_cast<int>(x), static_cast<int>(y)) = RgbPixel{s[0], s[1], s[2]};
    }
    *pImage = std::move(image);
    return true;
}

bool ReadPngFile(const std::string& path, RgbImage* pImage, std::string* pError)
{
    // Compressed data never needs more than about the raw size of the largest picture.
    constexpr std::uint64_t kMaxFileSize = kPngMaxPixels * 4 * 2;
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxFileSize, &bytes, pError))
        return false;
    std::string why;
    if (!DecodePng(bytes, pImage, &why))
        return Fail(pError, path + ": " + why);
    return true;
}
