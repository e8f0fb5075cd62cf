// tq-snapshot's command: bad options and hostile paths end in one error line and
// a non-zero status, never a hang; a good state writes its picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/PngFile.h"
#include "tests/TestSupport.h"
#include "tools/FrameCompare.h"
#include "tools/SnapshotCommand.h"

namespace {

namespace fs = std::filesystem;

TEST(SnapshotCommand, BadOptionsAndSpecialFilesGiveOneLineGoodOnesAPicture)
{
    const std::string dir = TestLogDirectory(), out = dir + "/snapshot.png", fifo = TestFifoPath();
    // A texture folder whose wood is a FIFO: that texture is missing, nothing hangs.
    const std::string fifoTextures = dir + "/fifo-textures";
    fs::create_directories(fifoTextures);
    if (!fifo.empty())
        fs::create_symlink(fifo, fifoTextures + "/Blackwood4.bmp");
    using Args = std::vector<std::string>;
    const struct { Args args; int iStatus; } cases[] = {
        {{"--out", out, "--bogus\nsecond line"}, kSnapshotBadInput},
        {{"--out", out, "--tuning", "1\n2"}, kSnapshotBadInput},
        {{"--out", out, "--string"}, kSnapshotBadInput},
        {{"--tuning", "1"}, kSnapshotBadInput},
        // The estimator publishes at most 2000 Hz; above it the read-out would make up "C0".
        {{"--out", out, "--measured", "2000.5"}, kSnapshotBadInput},
        {{"--out", out, "--measured", "15000"}, kSnapshotBadInput},
        // A4 from 400.0 to 480.0 Hz in tenths.
        {{"--out", out, "--reference"}, kSnapshotBadInput}, {{"--out", out, "--reference", "399.9"}, kSnapshotBadInput},
        {{"--out", out, "--reference", "442.25"}, kSnapshotBadInput},
        {{"--out", out, "--reference", "480.0"}, kSnapshotOk},
        {{"--out", out, "--font", dir}, kSnapshotFailed},
        {{"--out", dir}, kSnapshotFailed},
        {{"--out", fifo}, kSnapshotFailed},
        {{"--out", out, "--font", fifo}, kSnapshotFailed},
        {{"--out", out, "--measured", "2000"}, kSnapshotOk},
        {{"--out", out, "--textures", fifoTextures}, kSnapshotOk},
    };
    for (const auto& c : cases)
    {
        if (std::find(c.args.begin(), c.args.end(), "") != c.args.end())
            continue;  // no FIFO on this system
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<const char*> argv = {"tq-snapshot"};
        for (const std::string& a : c.args)
            argv.push_back(a.c_str());
        fs::remove(out);
        std::ostringstream sOut, sErr;
        EXPECT_EQ(RunSnapshotCommand(static_cast<int>(argv.size()), argv.data(), TQ_TEXTURE_DIR, sOut, sErr),
                  c.iStatus);
        EXPECT_EQ(fs::exists(out), c.iStatus == kSnapshotOk);
        const std::string e = sErr.str();
        if (c.iStatus == kSnapshotOk && c.args.size() == 4 && c.args[2] != "--textures")
            EXPECT_EQ(e, "");
        else
            EXPECT_TRUE(e.rfind("tq-snapshot: ", 0) == 0 && e.find('\n') == e.size() - 1) << e;
    }
}

// Tuned to a band at A4 = 442, the low E's Ref reads 82.78 Hz: the frame is the
// golden one drawn for that state, and at 440 it is not.
TEST(SnapshotCommand, ReferenceDrawsTheScaledTarget)
{
    const std::string out = std::string(TestLogDirectory()) + "/low-e.png";
    RgbImage golden;
    std::string error;
    ASSERT_TRUE(ReadPngFile(TestDataPath("golden/low_e_at_442.png"), &golden, &error)) << error;
    for (const bool b442 : {true, false})
    {
        std::vector<const char*> argv = {"tq-snapshot", "--out", out.c_str(), "--measured", "82.5", "--level-in",
                                         "-12000"};
        if (b442)
            argv.insert(argv.end(), {"--reference", "442"});
        std::ostringstream sOut, sErr;
        ASSERT_EQ(RunSnapshotCommand(static_cast<int>(argv.size()), argv.data(), TQ_TEXTURE_DIR, sOut, sErr),
                  kSnapshotOk)
            << sErr.str();
        RgbImage frame;
        ASSERT_TRUE(ReadPngFile(out, &frame, &error)) << error;
        ASSERT_TRUE(frame.iWidth == golden.iWidth && frame.iHeight == golden.iHeight);
        // The golden frames' tolerance (GoldenFrameTest): 4 levels, 8 pixels beyond.
        EXPECT_EQ(CompareFrames(golden, frame, 4).nBeyond <= 8, b442) << (b442 ? "at 442" : "at 440");
    }
}

} // namespace
