// Window dumps read as xwd writes them on either byte order, forged headers
// refused, tq-frame's comparison counting what differs where it is asked to, and
// its search finding a bitmap in a picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "base/BmpFile.h"
#include "base/PngFile.h"
#include "base/XwdFile.h"
#include "tests/TestSupport.h"
#include "tools/FrameCommand.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Dump
{
    std::uint32_t h[25] = {125, 7, 2, 24, 3, 2, 0, 0, 32, 0, 32, 32, 12, 4, 0xFF0000, 0xFF00, 0xFF, 8, 256, 0, 3, 2};
    Bytes Encode(std::uint32_t uPixelOrigin) const
    {
        Bytes out;
        for (std::uint32_t v : h)
            for (int s = 24; s >= 0; s -= 8)
                out.push_back(static_cast<std::uint8_t>(v >> s));
        out.resize(h[0] + h[19] * 12, 0);  // window name, colour table
        const std::uint32_t uBytes = h[11] / 8;
        for (std::uint32_t y = 0; y < h[5]; ++y)
            for (std::uint32_t x = 0; x < h[12]; x += uBytes)
                for (std::uint32_t b = 0; b < uBytes; ++b)
                {
                    const std::uint32_t v = uPixelOrigin + x / uBytes * 0x010203 + y * 0x300000;
                    const std::uint32_t shift = 8 * (h[7] ? uBytes - 1 - b : b);
                    out.push_back(static_cast<std::uint8_t>(v >> shift));
                }
        return out;
    }
};

TEST(XwdFile, ReadsBothByteOrdersAndRefusesForgedHeaders)
{
    for (std::uint32_t uOrder : {0u, 1u})
        for (std::uint32_t uBits : {24u, 32u})
        {
            Dump d;
            d.h[7] = uOrder;
            d.h[11] = uBits;
            d.h[12] = 3 * uBits / 8;
            RgbImage image;
            std::string error;
            ASSERT_TRUE(DecodeXwd(d.Encode(0x102030), &image, &error)) << error;
            ASSERT_EQ(image.iWidth, 3);
            ASSERT_EQ(image.iHeight, 2);
            EXPECT_TRUE(image.At(1, 1) == (RgbPixel{0x41, 0x22, 0x33}));  // 0x102030 + 0x010203 + 0x300000
        }
    const struct { int iWord; std::uint32_t uValue; } forged[] = {
        {1, 6},            // another version
        {0, 20},           // header shorter than its words
        {2, 1},            // XYPixmap
        {11, 16},          // 16-bit pixels
        {14, 0xF800},      // 5-bit red
        {4, 0},            // no width
        {5, 20000},        // taller than the limit
        {12, 8},           // rows shorter than their pixels
        {19, 0x15555556},  // a colour table whose size wraps 32 bits
        {5, 3},            // one row more than the file holds
    };
    for (const auto& f : forged)
    {
        Dump d;
        const Bytes good = d.Encode(0);
        d.h[f.iWord] = f.uValue;
        Bytes bytes = d.Encode(0);
        bytes.resize(std::min(bytes.size(), good.size()));
        RgbImage image;
        std::string error;
        EXPECT_FALSE(DecodeXwd(bytes, &image, &error)) << "word " << f.iWord;
        EXPECT_EQ(image.iWidth, 0);
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(FrameCommand, CountsDifferingPixelsInThePictureOrARegion)
{
    const std::string dir = TestLogDirectory();
    RgbImage a(40, 20), b(40, 20);
    for (int y = 15; y < 20; ++y)
        for (int x = 30; x < 35; ++x)
            b.At(x, y) = RgbPixel{200, 0, 0};  // 25 of 800 pixels
    RgbImage red(5, 5);
    for (RgbPixel& p : red.pixels)
        p = RgbPixel{190, 10, 0};
    std::string error;
    ASSERT_TRUE(WritePngFile(dir + "/a.png", a, &error) && WritePngFile(dir + "/b.png", b, &error) &&
                WriteBmpFile(dir + "/red.bmp", red, &error))
        << error;
    const std::string pa = dir + "/a.png", pb = dir + "/b.png", part = dir + "/red.bmp";
    // sOut: the start of the result line, or of the complaint.
    const struct { std::vector<std::string> args; int iStatus; std::string sOut; } cases[] = {
        {{"compare", pa, pa}, kFrameOk, "0 of 800 pixels"},
        {{"compare", pa, pb}, kFrameDiffers, "25 of 800 pixels differ by more than 24 levels (3.12 %), the worst by 200"},
        {{"compare", pa, pb, "--max-share", "5"}, kFrameOk, "25 of 800"},
        {{"compare", pa, pb, "--region", "0,0,30,20"}, kFrameOk, "0 of 600"},
        {{"compare", pa, pb, "--tolerance", "200"}, kFrameOk, "0 of 800"},
        {{"compare", pa, pb, "--smooth", "--region", "28,13,9,7"}, kFrameDiffers, "40 of 63"},
        {{"compare", pa, pb, "--region", "50,0,5,5"}, kFrameBadInput, "tq-frame: the region lies outside"},
        {{"compare", pa, pb, "--tolerance", "300"}, kFrameBadInput, "tq-frame: bad value"},
        {{"compare", pa, dir + "/none.png"}, kFrameBadInput, "tq-frame: "},
        {{"compare", pa}, kFrameBadInput, "tq-frame: compare needs two pictures"},
        {{"convert", pb, dir + "/c.png"}, kFrameOk, dir + "/c.png: 40 x 20"},
        {{"find", pb, part, "--tolerance", "10"}, kFrameOk, "30 15 5 5"},
        {{"find", pb, part}, kFrameDiffers, "not found"},
        {{"find", pa, part, "--tolerance", "10"}, kFrameDiffers, "not found"},
        {{"find", part, pb}, kFrameDiffers, "not found"},  // larger than the picture
        {{"find", pb, part, "--tolerance", "x"}, kFrameBadInput, "tq-frame: bad value"},
        {{"rotate"}, kFrameBadInput, "tq-frame: expected"},
    };
    for (const auto& c : cases)
    {
        std::vector<const char*> argv{"tq-frame"};
        for (const std::string& s : c.args)
            argv.push_back(s.c_str());
        std::ostringstream out, err;
        const int iStatus = RunFrameCommand(static_cast<int>(argv.size()), argv.data(), out, err);
        const std::string text = iStatus == kFrameBadInput ? err.str() : out.str();
        EXPECT_EQ(iStatus, c.iStatus) << c.args[0] << " " << text;
        EXPECT_EQ(text.rfind(c.sOut, 0), 0u) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
}

}  // namespace
