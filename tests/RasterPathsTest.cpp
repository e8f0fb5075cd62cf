// The software device's fast paths against the plain reference rasterizer: random
// scenes drawn into both, every pixel compared after every draw call.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "render/RecordingDevice.h"
#include "render/software/SoftwareDevice.h"
#include "tests/ReferenceDevice.h"

namespace {

constexpr int kCases = 3000;

class Random
{
public:
    explicit Random(std::uint32_t seed) : m_Engine(seed) {}
    std::uint32_t Bits() { return m_Engine(); }
    int Int(int lo, int hi) { return lo + int(m_Engine() % std::uint32_t(hi - lo + 1)); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    float Float(float lo, float hi) { return lo + (hi - lo) * float(m_Engine() >> 8) / 16777216.0f; }

private:
    std::mt19937 m_Engine;
};

// Textures with and without pure black texels (for the colour key), of odd and
// even sizes, down to a single texel. Number 9 is never loaded.
std::vector<RgbImage> Textures()
{
    Random rnd(7);
    const int sizes[5][3] = {{4, 4, 0}, {5, 3, 30}, {16, 16, 10}, {1, 1, 0}, {7, 9, 50}};  // w, h, % black
    std::vector<RgbImage> textures;
    for (const auto& s : sizes)
    {
        RgbImage image(s[0], s[1]);
        for (RgbPixel& p : image.pixels)
        {
            const std::uint32_t bits = rnd.Chance(s[2]) ? 0u : rnd.Bits() | 1u;
            p = RgbPixel{std::uint8_t(bits >> 16), std::uint8_t(bits >> 8), std::uint8_t(bits)};
        }
        textures.push_back(image);
    }
    return textures;
}

std::uint32_t Pick(Random& rnd, std::initializer_list<std::uint32_t> values)
{
    return values.begin()[rnd.Int(0, int(values.size()) - 1)];
}

// The states of one draw call: mostly the defined values, now and then one the
// device does not name (which it must treat as the reference does).
void SetStates(Random& rnd, CRenderDevice& dev)
{
    auto odd = [&](std::uint32_t value) { return rnd.Chance(3) ? 7u : value; };
    dev.SetRenderState(RenderState::AlphaBlendEnable, rnd.Chance(50));
    dev.SetRenderState(RenderState::SrcBlend, odd(rnd.Int(0, 4)));
    dev.SetRenderState(RenderState::DestBlend, odd(rnd.Int(0, 4)));
    dev.SetRenderState(RenderState::ColorKeyEnable, rnd.Chance(30));
    dev.SetStageState(StageState::ColorOp, odd(rnd.Int(0, 2)));
    dev.SetStageState(StageState::ColorArg1, odd(rnd.Int(0, 1)));
    dev.SetStageState(StageState::ColorArg2, odd(rnd.Int(0, 1)));
    dev.SetStageState(StageState::AlphaOp, odd(rnd.Int(0, 2)));
    dev.SetStageState(StageState::AlphaArg1, odd(rnd.Int(0, 1)));
    dev.SetStageState(StageState::LinearFilter, rnd.Chance(50));
    dev.SetTexture(int(Pick(rnd, {0, 1, 2, 3, 4, 9, std::uint32_t(-1)})));
}

enum class Place
{
    Anywhere,  // any float
    Grid,      // a multiple of 1/16, where the edge values are exact
    Whole,     // a whole number: on pixel centres
};

// A coordinate from lo to hi: off the image now and then, and sometimes far off
// or at the limit of the exact edge values.
float Coordinate(Random& rnd, Place place, float lo, float hi)
{
    if (rnd.Chance(2))
        return float(Pick(rnd, {16384, 100000, 3000000000u})) * (rnd.Chance(50) ? 1.0f : -1.0f);
    if (rnd.Chance(1))
        return 16384.0625f;
    const float f = rnd.Float(lo, hi);
    switch (place)
    {
    case Place::Anywhere: return f;
    case Place::Grid: return std::floor(f * 16.0f) / 16.0f;
    case Place::Whole: return std::floor(f);
    }
    return f;
}

// Corners of a strip, with edges along the axes now and then; or a rectangle
// (top left, top right, bottom left, bottom right) as the panel's fills draw.
std::vector<float> Corners(Random& rnd, int nVertices, int w, int h)
{
    const Place place = static_cast<Place>(rnd.Int(0, 2));
    std::vector<float> xy(2 * static_cast<size_t>(nVertices));
    if (nVertices == 4 && rnd.Chance(30))
    {
        const float l = Coordinate(rnd, place, -3.0f, w + 3.0f), r = Coordinate(rnd, place, -3.0f, w + 3.0f);
        const float t = Coordinate(rnd, place, -3.0f, h + 3.0f), b = Coordinate(rnd, place, -3.0f, h + 3.0f);
        xy = {l, t, r, t, l, b, r, b};
        return xy;
    }
    for (int i = 0; i < nVertices; ++i)
    {
        // A corner now and then placed anywhere, so one corner spoils exactness.
        const Place p = rnd.Chance(10) ? Place::Anywhere : place;
        xy[2 * i] = Coordinate(rnd, p, -3.0f, w + 3.0f);
        xy[2 * i + 1] = Coordinate(rnd, p, -3.0f, h + 3.0f);
        if (i > 0 && rnd.Chance(30))  // an edge along an axis
            xy[2 * i + rnd.Int(0, 1)] = xy[2 * rnd.Int(0, i - 1) + rnd.Int(0, 1)];
    }
    return xy;
}

// Vertex colours: each its own, one for all, white, one colour with alphas of its
// own, or with channels of zero.
std::vector<std::uint32_t> Colours(Random& rnd, int nVertices)
{
    const int mode = rnd.Int(0, 5);
    const std::uint32_t base = rnd.Bits();
    std::vector<std::uint32_t> colours(static_cast<size_t>(nVertices));
    for (std::uint32_t& c : colours)
    {
        switch (mode)
        {
        case 0: c = rnd.Bits(); break;
        case 1: c = base; break;
        case 2: c = 0xFFFFFFFFu; break;
        case 3: c = (base & 0xFFFFFFu) | (rnd.Bits() << 24); break;
        case 4: c = 0xFFFFFFu | (rnd.Bits() << 24); break;
        default: c = rnd.Bits() & Pick(rnd, {0u, 0xFF000000u, 0x00FF00FFu, 0xFFFF0000u, 0x0000FF00u}); break;
        }
    }
    return colours;
}

// A texture coordinate: any, on the texel grid, zero of either sign, or now and
// then out of the range the sampler takes, or so far out (2^23 + 1 texels of the
// 16-texel side) that the bilinear shares round.
float TextureCoordinate(Random& rnd, int mode)
{
    if (rnd.Chance(1))
    {
        const float odd[4] = {1e9f, -3e8f, std::numeric_limits<float>::quiet_NaN(), 524288.0625f};
        return odd[rnd.Int(0, 3)];
    }
    switch (mode)
    {
    case 0: return rnd.Float(-1.5f, 2.5f);
    case 1: return float(rnd.Int(-16, 32)) / 16.0f;
    default: return rnd.Chance(50) ? 0.0f : -0.0f;
    }
}

void DrawStrip(Random& rnd, CRenderDevice& dev, int w, int h)
{
    const int n = rnd.Chance(50) ? 4 : rnd.Int(3, 6);
    const std::vector<float> xy = Corners(rnd, n, w, h);
    if (rnd.Chance(50))
    {
        const std::vector<std::uint32_t> colours = Colours(rnd, n);
        std::vector<ColouredVertex> v(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            v[i] = {xy[2 * i], xy[2 * i + 1], 0.5f, 1.0f, colours[i]};
        dev.DrawStrip(v.data(), n);
        return;
    }
    // u and v each vary, or are one value for every corner.
    const int uMode = rnd.Int(0, 2), vMode = rnd.Int(0, 2);
    const bool bSameU = rnd.Chance(30), bSameV = rnd.Chance(30);
    const float u = TextureCoordinate(rnd, uMode), v = TextureCoordinate(rnd, vMode);
    std::vector<TexturedVertex> t(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        t[i] = {xy[2 * i], xy[2 * i + 1], 0.5f, 1.0f, bSameU ? u : TextureCoordinate(rnd, uMode),
                bSameV ? v : TextureCoordinate(rnd, vMode)};
    dev.DrawStrip(t.data(), n);
}

void DrawLines(Random& rnd, CRenderDevice& dev, int w, int h)
{
    const int n = rnd.Int(2, 5);
    const Place place = static_cast<Place>(rnd.Int(0, 2));
    const std::vector<std::uint32_t> colours = Colours(rnd, n);
    std::vector<ColouredVertex> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
    {
        const float reach = rnd.Chance(10) ? 2000.0f : 4.0f;  // some lines start far off the image
        v[i] = {Coordinate(rnd, place, -reach, w + reach), Coordinate(rnd, place, -reach, h + reach), 0.5f, 1.0f,
                colours[i]};
    }
    dev.DrawLineList(v.data(), n);
}

// One case: a clear and a few draw calls, each with states of its own.
void DrawCase(Random& rnd, CRenderDevice& dev, int w, int h)
{
    dev.Clear(rnd.Bits());
    const int nDraws = rnd.Int(1, 6);
    for (int i = 0; i < nDraws; ++i)
    {
        SetStates(rnd, dev);
        if (rnd.Chance(5))
            dev.Clear(rnd.Bits());
        else if (rnd.Chance(20))
            DrawLines(rnd, dev, w, h);
        else
            DrawStrip(rnd, dev, w, h);
    }
}

// A recorded call with the states it was drawn with, exactly (floats in hex).
std::string Describe(const CRecordingDevice::Call& call)
{
    std::string s;
    char line[160];
    auto add = [&](const char* text) { s += text; };
    std::snprintf(line, sizeof line, "call kind %d, texture %d\n  render states", int(call.kind), call.iTexture);
    add(line);
    for (const auto& state : call.renderStates)
    {
        std::snprintf(line, sizeof line, " %d=%" PRIu32, state.first, state.second);
        add(line);
    }
    add("\n  stage states");
    for (const auto& state : call.stageStates)
    {
        std::snprintf(line, sizeof line, " %d=%" PRIu32, state.first, state.second);
        add(line);
    }
    for (const ColouredVertex& v : call.coloured)
    {
        std::snprintf(line, sizeof line, "\n  {%a, %a, 0.5f, 1.0f, 0x%08" PRIx32 "}", v.x, v.y, v.colour);
        add(line);
    }
    for (const TexturedVertex& v : call.textured)
    {
        std::snprintf(line, sizeof line, "\n  {%a, %a, 0.5f, 1.0f, %a, %a}", v.x, v.y, v.tu, v.tv);
        add(line);
    }
    if (call.kind == CRecordingDevice::Kind::Clear)
    {
        std::snprintf(line, sizeof line, "\n  clear 0x%08" PRIx32, call.uValue);
        add(line);
    }
    return s;
}

// A clear or draw call as recorded, with the states it was recorded with.
bool Replay(const CRecordingDevice::Call& call, CRenderDevice& dev)
{
    for (const auto& state : call.renderStates)
        dev.SetRenderState(static_cast<RenderState>(state.first), state.second);
    for (const auto& state : call.stageStates)
        dev.SetStageState(static_cast<StageState>(state.first), state.second);
    dev.SetTexture(call.iTexture);
    switch (call.kind)
    {
    case CRecordingDevice::Kind::Clear: dev.Clear(call.uValue); return true;
    case CRecordingDevice::Kind::ColouredStrip: return dev.DrawStrip(call.coloured.data(), int(call.coloured.size()));
    case CRecordingDevice::Kind::TexturedStrip: return dev.DrawStrip(call.textured.data(), int(call.textured.size()));
    case CRecordingDevice::Kind::LineList: return dev.DrawLineList(call.coloured.data(), int(call.coloured.size()));
    default: return true;
    }
}

TEST(RasterPathsTest, RandomScenesMatchThePlainRasterizerToTheBit)
{
    const std::vector<RgbImage> textures = Textures();
    int nTriangles = 0;
    for (int iCase = 0; iCase < kCases; ++iCase)
    {
        // Each case is made from its own seed, so a failing one can be drawn alone.
        Random rnd{std::uint32_t(iCase)};
        const int w = rnd.Chance(10) ? rnd.Int(1, 4) : rnd.Int(5, 40), h = rnd.Int(1, 24);
        CRecordingDevice scene;
        DrawCase(rnd, scene, w, h);

        CSoftwareDevice device(w, h);
        CReferenceDevice reference(w, h);
        for (int i = 0; i < int(textures.size()); ++i)
        {
            device.LoadTexture(i, textures[i]);
            reference.LoadTexture(i, textures[i]);
        }
        for (size_t iCall = 0; iCall < scene.m_Calls.size(); ++iCall)
        {
            const CRecordingDevice::Call& call = scene.m_Calls[iCall];
            if (call.kind == CRecordingDevice::Kind::RenderState || call.kind == CRecordingDevice::Kind::StageState ||
                call.kind == CRecordingDevice::Kind::Texture)
                continue;  // in force at the next clear or draw, which sets them again
            const bool bDrawn = Replay(call, device);
            ASSERT_EQ(bDrawn, Replay(call, reference)) << "case " << iCase << ", call " << iCall;
            if (call.kind == CRecordingDevice::Kind::ColouredStrip || call.kind == CRecordingDevice::Kind::TexturedStrip)
                nTriangles += int(call.coloured.size() + call.textured.size()) - 2;
            for (int i = 0; i < w * h; ++i)
            {
                if (device.Pixels()[i] == reference.Pixels()[i])
                    continue;
                char where[160];
                std::snprintf(where, sizeof where,
                              "case %d (seed %d) on %dx%d, call %d: first differing pixel (%d, %d): device "
                              "0x%06" PRIx32 ", reference 0x%06" PRIx32 "\n",
                              iCase, iCase, w, h, int(iCall), i % w, i / w, device.Pixels()[i], reference.Pixels()[i]);
                FAIL() << where << Describe(call);
            }
        }
    }
    RecordProperty("triangles", nTriangles);
}

} // namespace
