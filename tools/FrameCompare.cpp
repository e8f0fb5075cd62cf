#include "tools/FrameCompare.h"

#include <algorithm>
#include <cstdlib>

FrameComparison CompareFrames(const RgbImage& expected, const RgbImage& actual, int iTolerance)
{
    FrameComparison c;
    c.diff = RgbImage(expected.iWidth, expected.iHeight);
    for (size_t i = 0; i < expected.pixels.size(); ++i)
    {
        const RgbPixel e = expected.pixels[i], a = actual.pixels[i];
        const int d = std::max({std::abs(e.r - a.r), std::abs(e.g - a.g), std::abs(e.b - a.b)});
        c.iWorst = std::max(c.iWorst, d);
        const auto grey = static_cast<std::uint8_t>((e.r + e.g + e.b) / 12);
        c.diff.pixels[i] = d > iTolerance ? RgbPixel{255, 0, 0} : RgbPixel{grey, grey, grey};
        c.nBeyond += d > iTolerance ? 1 : 0;
    }
    return c;
}

RgbImage CropFrame(const RgbImage& image, int x, int y, int w, int h)
{
    const int x0 = std::clamp(x, 0, image.iWidth), y0 = std::clamp(y, 0, image.iHeight);
    const int x1 = std::clamp(x + std::max(w, 0), x0, image.iWidth);
    const int y1 = std::clamp(y + std::max(h, 0), y0, image.iHeight);
    RgbImage out(x1 - x0, y1 - y0);
    for (int j = y0; j < y1; ++j)
        for (int i = x0; i < x1; ++i)
            out.At(i - x0, j - y0) = image.At(i, j);
    return out;
}

RgbImage SmoothFrame(const RgbImage& image)
{
    RgbImage out(image.iWidth, image.iHeight);
    for (int y = 0; y < image.iHeight; ++y)
        for (int x = 0; x < image.iWidth; ++x)
        {
            int r = 0, g = 0, b = 0, n = 0;
            for (int j = std::max(y - 1, 0); j <= std::min(y + 1, image.iHeight - 1); ++j)
                for (int i = std::max(x - 1, 0); i <= std::min(x + 1, image.iWidth - 1); ++i)
                {
                    const RgbPixel p = image.At(i, j);
                    r += p.r;
                    g += p.g;
                    b += p.b;
                    ++n;
                }
            out.At(x, y) = RgbPixel{static_cast<std::uint8_t>(r / n), static_cast<std::uint8_t>(g / n),
                                    static_cast<std::uint8_t>(b / n)};
        }
    return out;
}

namespace {

bool Near(RgbPixel a, RgbPixel b, int iTolerance)
{
    return std::abs(a.r - b.r) <= iTolerance && std::abs(a.g - b.g) <= iTolerance && std::abs(a.b - b.b) <= iTolerance;
}

bool PartAt(const RgbImage& picture, const RgbImage& part, int iTolerance, int x, int y)
{
    for (int j = 0; j < part.iHeight; ++j)
        for (int i = 0; i < part.iWidth; ++i)
            if (!Near(picture.At(x + i, y + j), part.At(i, j), iTolerance))
                return false;
    return true;
}

}  // namespace

bool FindPart(const RgbImage& picture, const RgbImage& part, int iTolerance, int* pX, int* pY)
{
    if (part.pixels.empty())
        return false;
    for (int y = 0; y + part.iHeight <= picture.iHeight; ++y)
        for (int x = 0; x + part.iWidth <= picture.iWidth; ++x)
            if (PartAt(picture, part, iTolerance, x, y))
            {
                *pX = x;
                *pY = y;
                return true;
            }
    return false;
}
