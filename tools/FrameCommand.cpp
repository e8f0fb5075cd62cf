#include "tools/FrameCommand.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "base/BmpFile.h"
#include "base/EchoText.h"
#include "base/FileRead.h"
#include "base/PngFile.h"
#include "base/XwdFile.h"
#include "tools/FrameCompare.h"
#include "tools/NumberText.h"

namespace {

const char kUsage[] =
    "usage: tq-frame convert IN.xwd|IN.png|IN.bmp OUT.png\n"
    "       tq-frame compare ACTUAL EXPECTED [--tolerance LEVELS] [--max-share PERCENT]\n"
    "                        [--region X,Y,W,H] [--smooth] [--diff OUT.png]\n"
    "       tq-frame find PICTURE PART [--tolerance LEVELS]\n"
    "compare counts the pixels whose colour differs in a channel by more than LEVELS\n"
    "(default 24) and fails when they are more than PERCENT (default 1) of the picture\n"
    "or region. --smooth compares 3 x 3 means, so text antialiased by another font\n"
    "engine counts only where its glyphs differ.\n"
    "find prints where PART lies in PICTURE, as X Y WIDTH HEIGHT: the first place\n"
    "where no channel of its pixels differs by more than LEVELS (default 0).\n";

// A 16-Mpixel dump with its colour table, and more than any PNG of that size.
constexpr std::uint64_t kMaxPictureBytes = 80u << 20;

bool ReadPicture(const std::string& path, RgbImage* pImage, std::string* pError)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxPictureBytes, &bytes, pError))
        return false;
    static const std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G'};
    const bool bPng = bytes.size() >= 4 && std::equal(kPngSignature, kPngSignature + 4, bytes.begin());
    const bool bBmp = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
    std::string why;
    if (bPng ? DecodePng(bytes, pImage, &why) : bBmp ? DecodeBmp(bytes, pImage, &why) : DecodeXwd(bytes, pImage, &why))
        return true;
    *pError = Quoted(path) + ": " + why;
    return false;
}

bool ParseRegion(const std::string& s, int r[4])
{
    size_t start = 0;
    for (int i = 0; i < 4; ++i)
    {
        const size_t comma = i < 3 ? s.find(',', start) : s.size();
        if (comma == std::string::npos || !ParseInt(s.substr(start, comma - start), &r[i]) || r[i] < 0 ||
            r[i] > 16384)
            return false;
        start = comma + 1;
    }
    return r[2] > 0 && r[3] > 0;
}

std::string Percent(double f)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.2f %%", f);
    return sz;
}

int Fail(std::ostream& err, const std::string& why)
{
    err << "tq-frame: " << why << "\n";
    return kFrameBadInput;
}

int Convert(const std::string& in, const std::string& outPath, std::ostream& out, std::ostream& err)
{
    RgbImage image;
    std::string error;
    if (!ReadPicture(in, &image, &error) || !WritePngFile(outPath, image, &error))
        return Fail(err, error);
    out << outPath << ": " << image.iWidth << " x " << image.iHeight << "\n";
    return kFrameOk;
}

int Compare(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    if (argc < 4 || !argv[2] || !argv[3])
        return Fail(err, "compare needs two pictures");
    int iTolerance = 24, region[4] = {0, 0, 0, 0};
    float fMaxShare = 1.0f;
    bool bRegion = false, bSmooth = false;
    std::string diffPath;
    for (int i = 4; i < argc; i += 2)
    {
        const std::string name = argv[i] ? argv[i] : "";
        if (name == "--smooth")
        {
            bSmooth = true;
            --i;
            continue;
        }
        if (i + 1 >= argc || !argv[i + 1])
            return Fail(err, "option " + Quoted(name) + " needs a value");
        const std::string v = argv[i + 1];
        bool ok = true;
        if (name == "--tolerance")
            ok = ParseInt(v, &iTolerance) && iTolerance >= 0 && iTolerance <= 255;
        else if (name == "--max-share")
            ok = ParseFloat(v, &fMaxShare) && fMaxShare >= 0.0f && fMaxShare <= 100.0f;
        else if (name == "--region")
            ok = bRegion = ParseRegion(v, region);
        else if (name == "--diff")
            diffPath = v;
        else
            return Fail(err, "unknown option " + Quoted(name));
        if (!ok)
            return Fail(err, "bad value " + Quoted(v) + " for " + name);
    }
    RgbImage actual, expected;
    std::string error;
    if (!ReadPicture(argv[2], &actual, &error) || !ReadPicture(argv[3], &expected, &error))
        return Fail(err, error);
    if (actual.iWidth != expected.iWidth || actual.iHeight != expected.iHeight)
        return Fail(err, "the pictures differ in size: " + std::to_string(actual.iWidth) + " x " +
                             std::to_string(actual.iHeight) + " and " + std::to_string(expected.iWidth) + " x " +
                             std::to_string(expected.iHeight));
    if (bSmooth)
    {
        actual = SmoothFrame(actual);
        expected = SmoothFrame(expected);
    }
    if (bRegion)
    {
        actual = CropFrame(actual, region[0], region[1], region[2], region[3]);
        expected = CropFrame(expected, region[0], region[1], region[2], region[3]);
        if (actual.pixels.empty())
            return Fail(err, "the region lies outside the pictures");
    }
    const FrameComparison c = CompareFrames(expected, actual, iTolerance);
    if (!diffPath.empty() && !WritePngFile(diffPath, c.diff, &error))
        return Fail(err, error);
    const double fShare = 100.0 * c.nBeyond / static_cast<double>(actual.pixels.size());
    out << c.nBeyond << " of " << actual.pixels.size() << " pixels differ by more than " << iTolerance
        << " levels (" << Percent(fShare) << "), the worst by " << c.iWorst << "\n";
    return fShare <= fMaxShare ? kFrameOk : kFrameDiffers;
}

int Find(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    if (argc < 4 || !argv[2] || !argv[3])
        return Fail(err, "find needs a picture and a part");
    int iTolerance = 0;
    for (int i = 4; i < argc; i += 2)
    {
        const std::string name = argv[i] ? argv[i] : "";
        if (name != "--tolerance")
            return Fail(err, "unknown option " + Quoted(name));
        if (i + 1 >= argc || !argv[i + 1] || !ParseInt(argv[i + 1], &iTolerance) || iTolerance < 0 || iTolerance > 255)
            return Fail(err, "bad value for --tolerance");
    }
    RgbImage picture, part;
    std::string error;
    if (!ReadPicture(argv[2], &picture, &error) || !ReadPicture(argv[3], &part, &error))
        return Fail(err, error);
    int x = 0, y = 0;
    if (!FindPart(picture, part, iTolerance, &x, &y))
    {
        out << "not found\n";
        return kFrameDiffers;
    }
    out << x << " " << y << " " << part.iWidth << " " << part.iHeight << "\n";
    return kFrameOk;
}

}  // namespace

int RunFrameCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    const std::string verb = argc > 1 && argv[1] ? argv[1] : "";
    if (verb == "--help" || verb == "-h")
    {
        out << kUsage;
        return kFrameOk;
    }
    if (verb == "convert" && argc == 4 && argv[2] && argv[3])
        return Convert(argv[2], argv[3], out, err);
    if (verb == "compare")
        return Compare(argc, argv, out, err);
    if (verb == "find")
        return Find(argc, argv, out, err);
    return Fail(err, "expected 'convert IN OUT.png', 'compare ACTUAL EXPECTED' or 'find PICTURE PART' (see --help)");
}
