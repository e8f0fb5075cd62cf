// The PNG reader: what our writer and other encoders write (every row filter, RGBA,
// data split over chunks, ancillary chunks), and damaged or forged files, which
// must fail with a reason and never read or allocate beyond what they hold.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/PngFile.h"
#include "tests/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU32(Bytes& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

Bytes Chunk(const std::string& type, const Bytes& data)
{
    Bytes out;
    out.reserve(12 + data.size());
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    PutU32(out, static_cast<std::uint32_t>(crc32(0L, out.data() + 4, static_cast<uInt>(data.size() + 4))));
    return out;
}

Bytes Ihdr(std::uint32_t w, std::uint32_t h, int colourType = 2, int depth = 8, int interlace = 0)
{
    Bytes d;
    PutU32(d, w);
    PutU32(d, h);
    d.insert(d.end(), {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colourType), 0, 0,
                       static_cast<std::uint8_t>(interlace)});
    return Chunk("IHDR", d);
}

Bytes Deflate(const Bytes& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    EXPECT_EQ(compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
    out.resize(size);
    return out;
}

Bytes Png(std::initializer_list<Bytes> chunks)
{
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    for (const Bytes& c : chunks)
        out.insert(out.end(), c.begin(), c.end());
    return out;
}

// The upper half noise, so the filters wrap around 255; the lower half smooth
// ramps, on which the Paeth predictor's distances tie (green: left and upper-left,
// blue: upper and upper-left), so its order of preference matters.
RgbImage Pattern(int w, int h)
{
    RgbImage image(w, h);
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            seed = seed * 1103515245u + 12345u;
            const bool bNoise = y < h / 2;
            image.At(x, y) = {static_cast<std::uint8_t>(seed >> 24),
                              static_cast<std::uint8_t>(bNoise ? seed >> 16 : 40u + x - 2u * y),
                              static_cast<std::uint8_t>(bNoise ? seed >> 8 : 100u + y - 2u * x)};
        }
    return image;
}

// The encoder's side of the row filters: each sample minus its prediction from the
// unfiltered left (a), upper (b) and upper-left (c) samples.
Bytes FilteredRows(const RgbImage& image, int channels, const std::vector<int>& rowFilters)
{
    const size_t stride = static_cast<size_t>(image.iWidth) * channels;
    auto sample = [&](int x, int y, int ch) -> int {
        if (ch == 3)
            return (x * 37 + y * 11) & 0xff;  // alpha, dropped by the reader
        const RgbPixel& p = image.At(x, y);
        return ch == 0 ? p.r : ch == 1 ? p.g : p.b;
    };
    Bytes raw;
    for (int y = 0; y < image.iHeight; ++y)
    {
        const int f = rowFilters[static_cast<size_t>(y) % rowFilters.size()];
        raw.push_back(static_cast<std::uint8_t>(f));
        for (size_t i = 0; i < stride; ++i)
        {
            const int x = static_cast<int>(i) / channels, ch = static_cast<int>(i) % channels;
            const int a = x > 0 ? sample(x - 1, y, ch) : 0, b = y > 0 ? sample(x, y - 1, ch) : 0;
            const int c = x > 0 && y > 0 ? sample(x - 1, y - 1, ch) : 0;
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const int predicted = f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : f == 4 ? paeth : 0;
            raw.push_back(static_cast<std::uint8_t>(sample(x, y, ch) - predicted));
        }
    }
    return raw;
}

TEST(PngFile, ReadsWhatTheWriterWritesThroughAFile)
{
    const RgbImage image = Pattern(7, 5);
    RgbImage back;
    std::string error;
    ASSERT_TRUE(DecodePng(EncodePng(image), &back, &error)) << error;
    EXPECT_EQ(back.iWidth, 7);
    EXPECT_EQ(back.iHeight, 5);
    EXPECT_EQ(back.pixels, image.pixels);

    const auto path = std::filesystem::path(TestLogDirectory()) / "round-trip.png";
    ASSERT_TRUE(WritePngFile(path.string(), image, &error)) << error;
    RgbImage fromFile;
    ASSERT_TRUE(ReadPngFile(path.string(), &fromFile, &error)) << error;
    EXPECT_EQ(fromFile.pixels, image.pixels);
    std::filesystem::remove(path);
    EXPECT_FALSE(ReadPngFile(path.string(), &fromFile, &error));
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
}

// Other encoders choose a filter per row; the data may come in several IDAT
// chunks with ancillary chunks before them; RGBA loses its alpha.
TEST(PngFile, UndoesEveryRowFilterForRgbAndRgba)
{
    const RgbImage image = Pattern(9, 10);
    for (int channels : {3, 4})
    {
        const Bytes packed = Deflate(FilteredRows(image, channels, {0, 1, 2, 3, 4, 4, 4, 4, 3, 1}));
        const size_t half = packed.size() / 2;
        const Bytes png = Png({Ihdr(9, 10, channels == 4 ? 6 : 2), Chunk("tEXt", {'a', 0, 'b'}),
                               Chunk("IDAT", Bytes(packed.begin(), packed.begin() + half)),
                               Chunk("IDAT", Bytes(packed.begin() + half, packed.end())), Chunk("IEND", {})});
        RgbImage back;
        std::string error;
        ASSERT_TRUE(DecodePng(png, &back, &error)) << channels << " channels: " << error;
        EXPECT_EQ(back.pixels, image.pixels) << channels << " channels";
    }
}

Bytes Valid(const Bytes& raw, std::uint32_t w = 3, std::uint32_t h = 2)
{
    return Png({Ihdr(w, h), Chunk("IDAT", Deflate(raw)), Chunk("IEND", {})});
}

// Expects a failure whose message names the fault, leaving the image alone.
void ExpectRejected(const Bytes& png, const std::string& reason)
{
    RgbImage image(1, 1);
    image.pixels[0] = {1, 2, 3};
    std::string error;
    EXPECT_FALSE(DecodePng(png, &image, &error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << "expected \"" << reason << "\", got \"" << error << "\"";
    EXPECT_EQ(image.iWidth, 1);
    EXPECT_EQ(image.pixels.size(), 1u);
}

TEST(PngFile, RejectsDamagedFilesWithTheReason)
{
    const Bytes raw = FilteredRows(Pattern(3, 2), 3, {0});
    const Bytes good = Valid(raw);
    RgbImage image;
    std::string error;
    ASSERT_TRUE(DecodePng(good, &image, &error)) << error;

    ExpectRejected({}, "signature");
    Bytes sig = good;
    sig[1] = 'Q';
    ExpectRejected(sig, "signature");

    // Cut anywhere: inside the signature, a chunk's header, its data or its CRC.
    for (size_t n = 0; n < good.size(); ++n)
    {
        EXPECT_FALSE(DecodePng(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), &image, &error)) << n;
        EXPECT_FALSE(error.empty());
    }
    ExpectRejected(Bytes(good.begin(), good.end() - 12), "IEND");
    ExpectRejected(Bytes(good.begin(), good.end() - 13), "truncated");

    Bytes flipped = good;
    flipped[8 + 25 + 10] ^= 0x40;  // a byte of the IDAT data
    ExpectRejected(flipped, "CRC mismatch in PNG chunk IDAT");
    Bytes longer = good;
    longer[8 + 25 + 0] = 0x7f;  // the IDAT length reaches far beyond the file
    ExpectRejected(longer, "truncated");

    ExpectRejected(Png({Chunk("IDAT", Deflate(raw)), Ihdr(3, 2), Chunk("IEND", {})}), "IHDR");
    ExpectRejected(Png({Ihdr(3, 2), Chunk("IEND", {})}), "no image data");
    ExpectRejected(Png({Ihdr(3, 2), Chunk("IDAT", Bytes(20, 0x55)), Chunk("IEND", {})}), "corrupt");
    ExpectRejected(Png({Ihdr(3, 2), Chunk("QUUX", {}), Chunk("IDAT", Deflate(raw)), Chunk("IEND", {})}),
                   "critical");
}

TEST(PngFile, RejectsFormatsItDoesNotReadAndDataOfTheWrongSize)
{
    const Bytes raw = FilteredRows(Pattern(3, 2), 3, {0});
    ExpectRejected(Png({Ihdr(3, 2, 3), Chunk("IDAT", Deflate(raw)), Chunk("IEND", {})}), "colour type 3");
    ExpectRejected(Png({Ihdr(3, 2, 0), Chunk("IDAT", Deflate(raw)), Chunk("IEND", {})}), "colour type 0");
    ExpectRejected(Png({Ihdr(3, 2, 2, 16), Chunk("IDAT", Deflate(raw)), Chunk("IEND", {})}), "bit depth 16");
    ExpectRejected(Png({Ihdr(3, 2, 2, 8, 1), Chunk("IDAT", Deflate(raw)), Chunk("IEND", {})}), "interlace");
    ExpectRejected(Valid(raw, 0, 2), "zero width");

    Bytes badFilter = raw;
    badFilter[10] = 5;  // the second row's filter byte
    ExpectRejected(Valid(badFilter), "row filter 5 in row 1");
    ExpectRejected(Valid(Bytes(raw.begin(), raw.end() - 1)), "bytes, the size needs 20");
    Bytes extra = raw;
    extra.insert(extra.end(), 10, 0);
    ExpectRejected(Valid(extra), "more image data");
}

// A header may claim any size: the reader must refuse what it would not hold and
// must not trust the claim for what it allocates before the data shows up.
TEST(PngFile, ForgedSizesFailWithoutHugeAllocations)
{
    const Bytes raw = FilteredRows(Pattern(3, 2), 3, {0});
    ExpectRejected(Valid(raw, 0xffffffffu, 0xffffffffu), "too large");
    ExpectRejected(Valid(raw, 100000, 1), "too large");
    ExpectRejected(Valid(raw, kPngMaxSide, kPngMaxSide), "too large");
    // Within the limits, but the data is that of a 3 x 2 picture.
    ExpectRejected(Valid(raw, kPngMaxSide, static_cast<std::uint32_t>(kPngMaxPixels / kPngMaxSide)),
                   "the size needs 50332672");

    // Deflate data damaged and its CRC recomputed, as a writer that re-checksums
    // what it damaged would (the fuzz target meets damage the CRCs catch), never
    // crashes or reads out of bounds; what the checks cannot see still yields a
    // whole picture.
    const Bytes packed = Deflate(FilteredRows(Pattern(6, 5), 3, {4, 1}));
    std::uint32_t seed = 99;
    RgbImage image;
    std::string error;
    for (int round = 0; round < 400; ++round)
    {
        Bytes data = packed;
        seed = seed * 1664525u + 1013904223u;
        data[(seed >> 8) % data.size()] ^= static_cast<std::uint8_t>(1u + (seed & 0x7f));
        if (DecodePng(Png({Ihdr(6, 5), Chunk("IDAT", data), Chunk("IEND", {})}), &image, &error))
        {
            EXPECT_EQ(image.pixels.size(), 30u);
        }
    }
}

} // namespace
