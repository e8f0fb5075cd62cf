#include "base/BmpFile.h"

#include "base/FileRead.h"

#include <cstdlib>
#include <fstream>
#include <utility>

namespace {

void Put16(std::vector<std::uint8_t>& v, std::uint32_t x)
{
    v.push_back(static_cast<std::uint8_t>(x & 0xFF));
    v.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x)
{
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

std::uint32_t Get16(const std::vector<std::uint8_t>& v, size_t i)
{
    return static_cast<std::uint32_t>(v[i] | (v[i + 1] << 8));
}

std::uint32_t Get32(const std::vector<std::uint8_t>& v, size_t i)
{
    return Get16(v, i) | (Get16(v, i + 2) << 16);
}

bool Fail(std::string* pError, const char* szWhy)
{
    if (pError)
        *pError = szWhy;
    return false;
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const RgbImage& image)
{
    const int iStride = BmpRowStride(image.iWidth);
    const std::uint32_t nImageBytes = static_cast<std::uint32_t>(iStride) * image.iHeight;
    std::vector<std::uint8_t> v;
    v.reserve(kBmpHeaderSize + nImageBytes);
    // BITMAPFILEHEADER
    v.push_back('B');
    v.push_back('M');
    Put32(v, kBmpHeaderSize + nImageBytes);  // file size
    Put32(v, 0);                             // two reserved words
    Put32(v, kBmpHeaderSize);                // offset of the pixels
    // BITMAPINFOHEADER
    Put32(v, 40);
    Put32(v, static_cast<std::uint32_t>(image.iWidth));
    Put32(v, static_cast<std::uint32_t>(image.iHeight));  // positive: bottom-up rows
    Put16(v, 1);                                           // planes
    Put16(v, 24);                                          // bits per pixel
    Put32(v, 0);                                           // BI_RGB
    Put32(v, nImageBytes);
    Put32(v, 2835);  // 72 dots per inch, both ways
    Put32(v, 2835);
    Put32(v, 0);  // colours used
    Put32(v, 0);  // colours important
    for (int y = image.iHeight - 1; y >= 0; --y)
    {
        for (int x = 0; x < image.iWidth; ++x)
        {
            const RgbPixel& p = image.At(x, y);
            v.push_back(p.b);
            v.push_back(p.g);
            v.push_back(p.r);
        }
        for (int i = image.iWidth * 3; i < iStride; ++i)
            v.push_back(0);
    }
    return v;
}

bool DecodeBmp(const std::vector<std::uint8_t>& bytes, RgbImage* pImage, std::string* pError)
{
    *pImage = RgbImage();
    if (bytes.size() < kBmpHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
        return Fail(pError, "not a BMP file");
    if (Get32(bytes, 14) < 40 || Get16(bytes, 26) != 1 || Get16(bytes, 28) != 24 || Get32(bytes, 30) != 0)
        return Fail(pError, "only uncompressed 24-bit bitmaps are read");
    const std::int32_t iWidth = static_cast<std::int32_t>(Get32(bytes, 18));
    const std::int32_t iSignedHeight = static_cast<std::int32_t>(Get32(bytes, 22));
    const std::int32_t iHeight = std::abs(iSignedHeight);
    if (iWidth <= 0 || iHeight <= 0 || iWidth > 16384 || iHeight > 16384)
        return Fail(pError, "bad bitmap size");
    // In 64 bits: offset plus pixel bytes can pass 4 GB, which a 32-bit size_t
    // would wrap into a small number and let the rows be read from before the buffer.
    const std::uint64_t uOffset = Get32(bytes, 10);
    const std::uint64_t uStride = static_cast<std::uint64_t>(BmpRowStride(iWidth));
    if (uOffset < kBmpHeaderSize || bytes.size() < uOffset + uStride * static_cast<std::uint64_t>(iHeight))
        return Fail(pError, "bitmap pixels cut short");
    // Both now fit the buffer, so in size_t too.
    const size_t nOffset = static_cast<size_t>(uOffset);
    const size_t nStride = static_cast<size_t>(uStride);
    RgbImage image(iWidth, iHeight);
    for (int row = 0; row < iHeight; ++row)
    {
        const int y = iSignedHeight > 0 ? iHeight - 1 - row : row;
        const std::uint8_t* p = &bytes[nOffset + nStride * row];
        for (int x = 0; x < iWidth; ++x, p += 3)
            image.At(x, y) = RgbPixel{p[2], p[1], p[0]};
    }
    *pImage = std::move(image);
    return true;
}

bool WriteBmpFile(const std::string& path, const RgbImage& image, std::string* pError)
{
    const std::string sProblem = RegularFileProblem(path, true);
    if (!sProblem.empty())
    {
        if (pError)
            *pError = "cannot write " + path + ": " + sProblem;
        return false;
    }
    const std::vector<std::uint8_t> bytes = EncodeBmp(image);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (out)
        out.close();
    if (!out)
    {
        if (pError)
            *pError = "cannot write " + path;
        return false;
    }
    return true;
}

bool ReadBmpFile(const std::string& path, RgbImage* pImage, std::string* pError)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, kBmpMaxFileSize, &bytes, pError))
    {
        *pImage = RgbImage();
        return false;
    }
    return DecodeBmp(bytes, pImage, pError);
}
