#pragma once
// 24-bit Windows bitmaps (BITMAPFILEHEADER + BITMAPINFOHEADER, BI_RGB, rows
// bottom-up and padded to four bytes), written byte by byte in little-endian
// order so the files are the same on every platform.
#include <cstdint>
#include <string>
#include <vector>

struct RgbPixel
{
    std::uint8_t r = 0, g = 0, b = 0;
};

inline bool operator==(RgbPixel a, RgbPixel b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
inline bool operator!=(RgbPixel a, RgbPixel b) { return !(a == b); }

struct RgbImage
{
    int iWidth = 0;
    int iHeight = 0;
    std::vector<RgbPixel> pixels;  // row by row, the top row first

    RgbImage() = default;
    RgbImage(int w, int h) : iWidth(w), iHeight(h), pixels(static_cast<size_t>(w) * h) {}
    RgbPixel& At(int x, int y) { return pixels[static_cast<size_t>(y) * iWidth + x]; }
    const RgbPixel& At(int x, int y) const { return pixels[static_cast<size_t>(y) * iWidth + x]; }
};

constexpr int kBmpHeaderSize = 54;  // file header 14 + info header 40

// Bytes of one stored pixel row: 3 per pixel, rounded up to a multiple of 4.
inline int BmpRowStride(int iWidth) { return (iWidth * 3 + 3) & ~3; }

std::vector<std::uint8_t> EncodeBmp(const RgbImage& image);

// Reads what EncodeBmp writes (and top-down rows, negative height); false with
// one line in *pError for anything else.
bool DecodeBmp(const std::vector<std::uint8_t>& bytes, RgbImage* pImage, std::string* pError);

// The reader's file size limit: the panel's textures are a few hundred kilobytes,
// and 16 MB still holds a 2048 x 2048 picture.
constexpr std::uint64_t kBmpMaxFileSize = std::uint64_t{16} << 20;

bool WriteBmpFile(const std::string& path, const RgbImage& image, std::string* pError);
bool ReadBmpFile(const std::string& path, RgbImage* pImage, std::string* pError);
