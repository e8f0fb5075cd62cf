#pragma once
// PNG files for 8-bit pictures. The writer stores RGB (one IDAT chunk, no row
// filters); the reader takes 8-bit RGB or RGBA (alpha dropped), non-interlaced,
// with any of the five row filters. zlib does the compression and the checksums.
#include <cstdint>
#include <string>
#include <vector>

#include "base/BmpFile.h"

// The reader refuses pictures larger than this, so a forged header cannot make
// it allocate gigabytes: a side of at most 16384 pixels and 16 Mpixels in all.
constexpr std::uint32_t kPngMaxSide = 16384;
constexpr std::uint64_t kPngMaxPixels = 1u << 24;

std::vector<std::uint8_t> EncodePng(const RgbImage& image);
bool WritePngFile(const std::string& path, const RgbImage& image, std::string* pError);

// False with one line in *pError (and *pImage untouched) for anything the reader
// does not take or that is damaged.
bool DecodePng(const std::vector<std::uint8_t>& bytes, RgbImage* pImage, std::string* pError);
bool ReadPngFile(const std::string& path, RgbImage* pImage, std::string* pError);
