#include "tools/TextureArt.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Towards the light, in texture coordinates (y down): from the upper left.
constexpr double kLightX = -0.6;
constexpr double kLightY = -0.8;

double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

double SmoothStep(double e0, double e1, double v)
{
    const double t = Clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

double Mix(double a, double b, double t) { return a + (b - a) * t; }

// iMin keeps texels that must not vanish under the black colour key off zero.
RgbPixel Rgb(double r, double g, double b, int iMin = 0)
{
    auto byte = [iMin](double v) {
        return static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::lround(v)), iMin, 255));
    };
    return RgbPixel{byte(r), byte(g), byte(b)};
}

RgbPixel MixRgb(RgbPixel a, RgbPixel b, double t)
{
    return Rgb(Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t));
}

// A fixed integer mix of a lattice point and a seed: the same numbers on every
// platform and every run.
std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = (seed * 0x9E3779B9u) ^ (x * 0x85EBCA6Bu) ^ (y * 0xC2B2AE35u);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

double HashUnit(int x, int y, std::uint32_t seed)
{
    return Hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed) / 4294967296.0;
}

int Wrap(int i, int n) { return ((i % n) + n) % n; }

// Smooth value noise in [0, 1) on a lattice of nx by ny cells that wraps around,
// so the noise repeats exactly when u grows by nx or v by ny.
double PeriodicNoise(double u, double v, int nx, int ny, std::uint32_t seed)
{
    const double fu = std::floor(u), fv = std::floor(v);
    const int x0 = Wrap(static_cast<int>(fu), nx), y0 = Wrap(static_cast<int>(fv), ny);
    const int x1 = (x0 + 1) % nx, y1 = (y0 + 1) % ny;
    const double tu = SmoothStep(0.0, 1.0, u - fu), tv = SmoothStep(0.0, 1.0, v - fv);
    return Mix(Mix(HashUnit(x0, y0, seed), HashUnit(x1, y0, seed), tu),
               Mix(HashUnit(x0, y1, seed), HashUnit(x1, y1, seed), tu), tv);
}

// Octaves of periodic noise, each twice as fine and half as strong; about [0, 1].
// u and v run over [0, 1) for one period.
double PeriodicFbm(double u, double v, int nx, int ny, int iOctaves, std::uint32_t seed)
{
    double sum = 0.0, weight = 1.0, total = 0.0;
    for (int i = 0; i < iOctaves; ++i, nx *= 2, ny *= 2, weight *= 0.5)
    {
        sum += weight * PeriodicNoise(u * nx, v * ny, nx, ny, seed + 101u * i);
        total += weight;
    }
    return sum / total;
}

// Distance from (x, y) to the vertical segment x = 0, y0 <= y <= y1.
double SegmentDistance(double x, double y, double y0, double y1)
{
    return std::hypot(x, y - std::clamp(y, y0, y1));
}

// A texel's centre in knob coordinates: the disc centre at 0, its edge at 1.
void KnobCoords(int x, int y, double* pdx, double* pdy)
{
    const double half = kKnobSize / 2.0;
    *pdx = (x + 0.5 - half) / half;
    *pdy = (y + 0.5 - half) / half;
}

}  // namespace

RgbImage MakeWoodTexture()
{
    // Dark wood, grain running along the panel. Every term repeats after one
    // tile, so the wood continues seamlessly across the tile edges.
    const RgbPixel dark{12, 8, 7}, mid{40, 26, 19}, light{86, 56, 38};
    RgbImage img(kWoodSize, kWoodSize);
    for (int y = 0; y < kWoodSize; ++y)
        for (int x = 0; x < kWoodSize; ++x)
        {
            const double u = static_cast<double>(x) / kWoodSize, v = static_cast<double>(y) / kWoodSize;
            // Growth lines, bent by long gentle sweeps along the board.
            const double sweep = PeriodicFbm(u, v, 2, 3, 3, 11) - 0.5;
            const double spacing = PeriodicFbm(0.0, v, 1, 3, 3, 17) - 0.5;  // uneven band widths
            const double band = v * 14.0 + spacing * 5.0 + sweep * 2.0;
            const double ring = band - std::floor(band);
            // Each band darkens slowly, ends in a thin dark latewood line.
            const double late = SmoothStep(0.45, 0.88, ring) * (1.0 - SmoothStep(0.9, 0.99, ring));
            // Fibres: long thin streaks, and broad patches of colour.
            const double fibre = PeriodicNoise(u * 3, v * 128 + sweep * 20.0, 3, 128, 13) - 0.5;
            const double fineFibre = PeriodicNoise(u * 8, v * 256 + sweep * 40.0, 8, 256, 14) - 0.5;
            const double figure = PeriodicFbm(u, v, 2, 4, 3, 15) - 0.5;
            double tone = 0.52 + 0.6 * figure - 0.28 * late + 0.28 * fibre + 0.16 * fineFibre;
            // Pores: a few short dark dashes along the grain, 8 texels long.
            if (HashUnit(x / 8, y, 16) < 0.03)
                tone -= 0.2 * std::sin(kPi * ((x % 8) + 0.5) / 8.0);
            tone = Clamp01(tone);
            img.At(x, y) = tone < 0.5 ? MixRgb(dark, mid, tone * 2.0) : MixRgb(mid, light, tone * 2.0 - 1.0);
        }
    return img;
}

RgbImage MakeKnobBody()
{
    // A dark ribbed skirt with a bevelled rim around a brushed metal cap, lit from
    // the upper left. Black outside the disc; nothing inside is pure black.
    RgbImage img(kKnobSize, kKnobSize);
    const double lightAngle = std::atan2(kLightY, kLightX);
    for (int y = 0; y < kKnobSize; ++y)
        for (int x = 0; x < kKnobSize; ++x)
        {
            double dx, dy;
            KnobCoords(x, y, &dx, &dy);
            const double r = std::hypot(dx, dy);
            if (r > kKnobDiscRadius)
                continue;
            const double phi = std::atan2(dy, dx);
            const double facing = r > 0.0 ? (dx * kLightX + dy * kLightY) / r : 0.0;  // 1 towards the light
            if (r > 0.76)
            {
                // Skirt: ribs, a slope catching the light, a bright lip on the lit side.
                const double lip = SmoothStep(0.86, 0.95, r);
                const double v = 36.0 + 12.0 * facing + 5.0 * std::cos(36.0 * phi) +
                                 lip * (44.0 * std::max(facing, 0.0) - 12.0);
                img.At(x, y) = Rgb(v, v, v * 1.06, 2);
            }
            else if (r > 0.71)
            {
                // The groove between cap and skirt.
                const double v = 14.0 - 6.0 * facing;
                img.At(x, y) = Rgb(v, v, v * 1.06, 2);
            }
            else
            {
                // Cap: concentric brushing lights two wedges, towards and away from the light.
                const double sheen = std::pow(std::fabs(std::cos(phi - lightAngle)), 6.0);
                const double rings = HashUnit(static_cast<int>(r * 90.0), 0, 21) - 0.5;
                const double v = 122.0 + 78.0 * sheen + 14.0 * facing * r + 12.0 * rings - 24.0 * r * r;
                img.At(x, y) = Rgb(v * 0.96, v * 0.98, v * 1.03, 2);
            }
        }
    return img;
}

RgbImage MakeKnobNotch(bool bVariantB)
{
    // An engraved line on the cap and a cream mark on the skirt, both pointing
    // up. Lit from the upper left with the pointer up, the engraving's right wall
    // faces the light; variant b is the mirror image, for bearings where the
    // pointer's other side faces the light.
    RgbImage img(kKnobSize, kKnobSize);
    for (int y = 0; y < kKnobSize; ++y)
        for (int x = 0; x < kKnobSize; ++x)
        {
            double dx, dy;
            KnobCoords(x, y, &dx, &dy);
            const double mark = SegmentDistance(dx, -dy, 0.83, 0.88);
            const double groove = SegmentDistance(dx, -dy, 0.18, 0.6);
            if (mark < 0.08)
            {
                const double shade = 1.0 - 0.3 * (mark / 0.08) * (mark / 0.08);
                img.At(x, y) = Rgb(238 * shade, 228 * shade, 204 * shade, 1);
            }
            else if (groove < 0.065)
                img.At(x, y) = Rgb(32, 33, 37, 1);
            else if (groove < 0.115)
                img.At(x, y) = dx > 0.0 ? Rgb(236, 240, 248) : Rgb(50, 51, 56);
        }
    if (bVariantB)
        for (int y = 0; y < kKnobSize; ++y)
            for (int x = 0; x < kKnobSize / 2; ++x)
                std::swap(img.At(x, y), img.At(kKnobSize - 1 - x, y));
    return img;
}

RgbImage MakeLightMap()
{
    // A soft, slightly cool glow, brightest a little above the middle, falling off
    // smoothly to dim edges; dark enough everywhere for the light text on top.
    RgbImage img(kLightMapSize, kLightMapSize);
    for (int y = 0; y < kLightMapSize; ++y)
        for (int x = 0; x < kLightMapSize; ++x)
        {
            const double u = (x + 0.5) / kLightMapSize - 0.5, v = (y + 0.5) / kLightMapSize - 0.35;
            const double glow = std::exp(-(u * u / 0.10 + v * v / 0.22));
            const double l = 62.0 + 46.0 * glow + 10.0 * (0.65 - v);
            img.At(x, y) = Rgb(l * 0.94, l * 0.98, l * 1.06);
        }
    return img;
}

RgbImage MakeLogo()
{
    // A dark rounded plate on the dialog's grey with a decaying string wave, the
    // picture of a plucked string, starting from a red dot.
    const RgbPixel paper{236, 236, 236}, top{60, 62, 70}, bottom{24, 25, 30}, rim{104, 108, 120};
    const RgbPixel wave{168, 184, 255}, dot{240, 32, 24};
    const double w = kLogoWidth, h = kLogoHeight, corner = 7.0;
    const double x0 = 12.0, x1 = w - 9.0, cy = h / 2.0;
    auto waveY = [&](double x) {
        const double t = (x - x0) / (x1 - x0);
        return cy - 13.0 * std::exp(-2.3 * t) * std::sin(2.0 * kPi * 3.5 * t);
    };
    RgbImage img(kLogoWidth, kLogoHeight);
    for (int y = 0; y < kLogoHeight; ++y)
        for (int x = 0; x < kLogoWidth; ++x)
        {
            const double px = x + 0.5, py = y + 0.5;
            // Signed distance to the plate's rounded outline (negative inside).
            const double qx = std::fabs(px - w / 2) - (w / 2 - 0.5 - corner);
            const double qy = std::fabs(py - h / 2) - (h / 2 - 0.5 - corner);
            const double plate = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) +
                                 std::min(std::max(qx, qy), 0.0) - corner;
            RgbPixel c = MixRgb(top, bottom, py / h);
            c = MixRgb(c, rim, Clamp01(1.0 - std::fabs(plate + 1.0)) * (1.0 - 0.6 * py / h));
            // The wave as a stroke: distance to the curve, sampled finely.
            double d = 1e9;
            for (double sx = x0; sx <= x1; sx += 0.25)
                d = std::min(d, std::hypot(px - sx, py - waveY(sx)));
            c = MixRgb(c, wave, Clamp01(1.6 - d) * 0.95);
            c = MixRgb(c, dot, Clamp01(3.3 - std::hypot(px - x0, py - cy)));
            img.At(x, y) = MixRgb(c, paper, Clamp01(plate + 0.5));
        }
    return img;
}

std::vector<TextureFile> MakeAllTextures()
{
    std::vector<TextureFile> files;
    files.push_back({"Blackwood4.bmp", MakeWoodTexture()});
    files.push_back({"Knob33a.bmp", MakeKnobBody()});
    files.push_back({"KnobNotch3-a.bmp", MakeKnobNotch(false)});
    files.push_back({"KnobNotch3-b.bmp", MakeKnobNotch(true)});
    files.push_back({"LightMap9.bmp", MakeLightMap()});
    files.push_back({"AsioLogo.bmp", MakeLogo()});
    return files;
}
