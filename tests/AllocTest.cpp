#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "dsp/Alloc.h"
#include "dsp/NoteTable.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"

namespace {

struct Counters
{
    DWORD bytes = g_dwMemCount.load();
    DWORD blocks = g_dwMemBlockCount.load();
    bool operator==(const Counters& o) const { return bytes == o.bytes && blocks == o.blocks; }
};

class AllocTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 1200);
        // The note table is made once and kept; make it before taking baselines.
        ASSERT_EQ(MakeNoteTable(), 1);
    }
    void TearDown() override { SetAllocFailAt(0); }
};

TEST_F(AllocTest, CountsBytesAndBlocksAndFreeReturnsNull)
{
    const Counters before;
    float* p = AllocBuf(250);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::count(p, p + 250, 0.0f), 250);
    EXPECT_EQ(g_dwMemCount.load(), before.bytes + 1000u);
    EXPECT_EQ(g_dwMemBlockCount.load(), before.blocks + 1u);
    EXPECT_EQ(FreeBuf(p, 250), nullptr);
    EXPECT_EQ(FreeBuf(nullptr, 99), nullptr);
    EXPECT_TRUE(Counters() == before);
}

// Every allocation InitDSP makes is failed in turn: each failure must leave the
// engine off, passing audio through untouched, and Release must give back all.
// Release is safe at any time, and restarts do not stack.
TEST_F(AllocTest, EveryInitAllocationCanFailCleanly)
{
    SetStreamFormat(48000.0f, 100);
    auto engine = std::make_unique<CDspEngine>();
    const Counters before;
    engine->Release();
    EXPECT_TRUE(Counters() == before);
    CSampleBuffer input;
    ASSERT_EQ(input.Init("test", "input", g_iBufMonoLen, g_iBlockSize), 1);
    const Counters withInput;
    for (int n = 0; n < g_iBufMonoLen; ++n)
        input.Channel(0)[n] = input.Channel(1)[n] = static_cast<float>(n % 97) * 100.0f - 4000.0f;
    const std::vector<float> left(input.Channel(0), input.Channel(0) + g_iBufMonoLen);

    int failures = 0;
    for (int nth = 1;; ++nth)
    {
        SetAllocFailAt(nth);
        const int ok = engine->InitDSP();
        SetAllocFailAt(0);
        if (ok)
            break;
        ++failures;
        ASSERT_EQ(engine->m_bOn.load(), 0) << "allocation " << nth;
        ASSERT_EQ(engine->Process(&input, 0), &input);
        ASSERT_EQ(engine->Process(&input, g_iBlockSize), &input);
        ASSERT_EQ(std::vector<float>(input.Channel(0), input.Channel(0) + g_iBufMonoLen), left);
        engine->Release();
        ASSERT_TRUE(Counters() == withInput) << "allocation " << nth << " leaked";
        ASSERT_LT(nth, 10000) << "InitDSP never succeeded";
    }
    // Eight tables, six units, 2 x 60 band filters with their outputs, four tracker filters...
    EXPECT_GT(failures, 130);
    EXPECT_EQ(engine->m_bOn.load(), 1);
    const Counters once;
    EXPECT_GT(once.bytes, withInput.bytes);
    engine->Release();
    ASSERT_EQ(engine->InitDSP(), 1);
    EXPECT_TRUE(Counters() == once);
    engine->Release();
    engine->Release();
    input.Release("test", "input");
    EXPECT_TRUE(Counters() == before);
}

} // namespace
