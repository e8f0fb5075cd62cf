// Whole frames of the panel from the software device, compared with checked-in
// pictures in tests/data/golden: they catch a moved control, a wrong colour or a
// lost string anywhere on the panel, which the tests of single parts do not see.
//
// After an intended change of the panel, regenerate the pictures with
//   TQ_UPDATE_GOLDEN=1 ctest -R GoldenFrame      (from the build folder)
// look at every one of them and commit them. The tests fail in that mode, so it can
// never be left on unnoticed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "base/PngFile.h"
#include "render/Renderer.h"
#include "render/software/FontRenderer.h"
#include "render/software/SoftwareDevice.h"
#include "tests/TestSupport.h"
#include "tools/FrameCompare.h"
#include "tools/PanelScene.h"

namespace {

// FreeType's coverage and the rasterizer's float gradients may round a level or
// two apart with another compiler, optimisation or FreeType release, so a pixel
// may differ by a few levels per channel, and a handful by more (an antialiased
// glyph edge rounded the other way). One changed digit already differs in some
// 45 pixels by 100 levels and more, a button lit or moved by one pixel in hundreds.
constexpr int kChannelTolerance = 4;
constexpr int kMaxPixelsBeyond = 8;

FrameComparison Compare(const RgbImage& expected, const RgbImage& actual)
{
    return CompareFrames(expected, actual, kChannelTolerance);
}
bool Matches(const FrameComparison& c) { return c.nBeyond <= kMaxPixelsBeyond; }

struct Golden
{
    const char* szName;  // file name without .png, also the test's name
    PanelScene scene;
};

// Test names and failure lines show the golden's name, not the struct's bytes.
void PrintTo(const Golden& g, std::ostream* pOut) { *pOut << g.szName; }

constexpr int kDropD = 25;

// Tuning, string, measured Hz, power, tuner power, input and output level, A4 in
// tenths of a hertz.
const PanelScene kTuneUpA{-1, 1, 108.0, 1, 1, -12000.0, 0.0, 4400};
const Golden kGoldens[] = {
    {"startup", PanelScene{}},
    {"tune_up_a_string", kTuneUpA},
    {"in_tune_g_string", {-1, 3, 196.2, 1, 1, -25000.0, 0.0, 4400}},
    {"power_and_tuner_off", {-1, 0, -1.0, 0, 0, 0.0, 0.0, 4400}},
    {"drop_d_tune_down_high_e", {kDropD, 5, 331.0, 1, 1, -4000.0, 0.0, 4400}},
    // Tuned to a band at A4 = 442: the low E's target is 82.78 Hz.
    {"low_e_at_442", {-1, 0, 82.5, 1, 1, -12000.0, 0.0, 4420}},
};

class Frames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(font.Open(FindDefaultFontFile(), CFontRenderer::kDefaultPixelHeight, &error)) << error;
    }
    RgbImage Render(const PanelScene& scene)
    {
        CSoftwareDevice device(kClientWidth, kClientHeight);
        device.SetTextRenderer(&font);
        EXPECT_EQ(device.LoadPanelTextures(TQ_TEXTURE_DIR), NUM_TEXTURES) << "textures in " << TQ_TEXTURE_DIR;
        std::string error;
        EXPECT_TRUE(DrawPanelScene(device, scene, &error)) << error;
        return device.ToRgbImage();
    }
    CFontRenderer font;
};

class GoldenFrame : public Frames, public ::testing::WithParamInterface<Golden>
{
};

// A failing run leaves its pictures in golden-out/ of the working folder (the
// build's tests/ under CTest); returns the path written, or why not.
std::string WriteOutput(const std::string& file, const RgbImage& image)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::current_path() / "golden-out";
    std::error_code ec;
    fs::create_directories(dir, ec);
    const std::string path = (dir / file).string();
    std::string error;
    return WritePngFile(path, image, &error) ? path : "(not written: " + error + ")";
}

TEST_P(GoldenFrame, MatchesTheCheckedInPicture)
{
    const Golden& g = GetParam();
    const RgbImage actual = Render(g.scene);
    const std::string goldenPath = TestDataPath(std::string("golden/") + g.szName + ".png");
    std::string error;

    const char* szUpdate = std::getenv("TQ_UPDATE_GOLDEN");
    if (szUpdate && std::string(szUpdate) == "1")
    {
        ASSERT_FALSE(HasFailure()) << "the frame did not draw fully: no golden written";
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(goldenPath).parent_path(), ec);
        ASSERT_TRUE(WritePngFile(goldenPath, actual, &error)) << error;
        FAIL() << "wrote " << goldenPath << "; look at it, commit it and run again without TQ_UPDATE_GOLDEN";
    }

    RgbImage expected;
    const std::string actualName = std::string(g.szName) + ".actual.png";
    if (!ReadPngFile(goldenPath, &expected, &error))
        FAIL() << error << "\nthis run's frame: " << WriteOutput(actualName, actual)
               << " (TQ_UPDATE_GOLDEN=1 regenerates the goldens)";
    ASSERT_EQ(expected.iWidth, actual.iWidth);
    ASSERT_EQ(expected.iHeight, actual.iHeight);

    const FrameComparison c = Compare(expected, actual);
    if (!Matches(c))
    {
        ADD_FAILURE() << c.nBeyond << " pixels differ by more than " << kChannelTolerance << " levels (at most "
                      << kMaxPixelsBeyond << " may; the worst by " << c.iWorst << ") from " << goldenPath
                      << "\nthis run's frame: " << WriteOutput(actualName, actual)
                      << "\ndifferences in red: " << WriteOutput(std::string(g.szName) + ".diff.png", c.diff);
    }
}

INSTANTIATE_TEST_SUITE_P(Panel, GoldenFrame, ::testing::ValuesIn(kGoldens),
                         [](const ::testing::TestParamInfo<Golden>& param) { return std::string(param.param.szName); });

// The tolerance must not hide the faults the goldens are for: the smallest real
// changes of the picture fall outside it, and no state is left behind by a frame
// drawn before (each golden test would otherwise depend on the order of the run).
TEST_F(Frames, TheToleranceStillSeesOneDigitOneColourAndOnePixelOfMovement)
{
    const PanelScene base = kTuneUpA;
    const RgbImage frame = Render(base);

    PanelScene digit = base;  // "108.00 Hz" becomes "108.01 Hz"; the bar stays
    digit.fMeasured = 108.01;
    EXPECT_FALSE(Matches(Compare(frame, Render(digit)))) << "a changed digit";

    PanelScene grey = base;  // only the title and the Power caption turn grey
    grey.bPower = 0;
    EXPECT_FALSE(Matches(Compare(frame, Render(grey)))) << "a title in grey instead of red";

    RgbImage moved = frame;  // the "-" and "+" keys one pixel to the right
    for (int y = 98; y < 128; ++y)
        for (int x = 210; x > 138; --x)
            moved.At(x, y) = frame.At(x - 1, y);
    EXPECT_FALSE(Matches(Compare(frame, moved))) << "two buttons moved by one pixel";

    Render({kDropD, 5, 331.0, 0, 0, -4000.0, 0.0});
    const FrameComparison again = Compare(frame, Render(base));
    EXPECT_EQ(again.iWorst, 0) << "the same state must draw the same frame after another one";
}

} // namespace
