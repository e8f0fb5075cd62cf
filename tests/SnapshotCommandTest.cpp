// tq-snapshot's command: bad options and hostile paths end in one error line and
// a non-zero status, never a hang; a good state writes its picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
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
        if (c.iStatus == kSnapshotOk && c.args.size() == 4 && c.args[2] == "--measured")
            EXPECT_EQ(e, "");
        else
            EXPECT_TRUE(e.rfind("tq-snapshot: ", 0) == 0 && e.find('\n') == e.size() - 1) << e;
    }
}

} // namespace
