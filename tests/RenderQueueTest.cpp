// Engine output between the capture and render clocks: in step nothing is lost
// or repeated; a faster render side repeats whole blocks, a faster capture side
// drops the oldest, each counted, and the wait stays bounded.
#include <gtest/gtest.h>

#include <vector>

#include "audio/wasapi/RenderQueue.h"

namespace {

constexpr int kBlock = 480;

struct Clocks
{
    RenderQueue q;
    float fNext = 1.0f;               // the next frame's value: frames count up
    std::vector<float> played;

    // Frames of two float channels, the right one the left one negated.
    Clocks() { q.Reset(kBlock, 8, 4); }
    void Capture()
    {
        std::vector<float> frames(2 * kBlock);
        for (int i = 0; i < kBlock; ++i)
            frames[2 * i + 1] = -(frames[2 * i] = fNext++);
        q.Push(reinterpret_cast<const unsigned char*>(frames.data()));
    }
    void Render(int n)
    {
        std::vector<float> frames(2 * static_cast<size_t>(n), 1.0f);
        q.Pull(reinterpret_cast<unsigned char*>(frames.data()), n);
        for (size_t i = 0; i < frames.size(); i += 2)
        {
            ASSERT_EQ(-frames[i], frames[i + 1]);
            played.push_back(frames[i]);
        }
    }
};

TEST(RenderQueue, InStepEveryFrameOnceInOrder)
{
    Clocks c;
    c.Render(100);  // before the first block: silence, not a repeat
    // Render periods that are no multiple of the block.
    for (int k = 0; k < 50; ++k)
    {
        c.Capture();
        c.Render(k % 2 ? 441 : 519);
    }
    EXPECT_EQ(0, c.q.Dropped());
    EXPECT_EQ(0, c.q.Repeated());
    // Silence until a block more than the pull waits (100 + 519 frames), then
    // every frame in order.
    for (size_t i = 0; i < c.played.size(); ++i)
        ASSERT_EQ(i < 619 ? 0.0f : static_cast<float>(i - 618), c.played[i]) << i;
}

TEST(RenderQueue, ClocksApartRepeatOrDropWholeBlocks)
{
    // Render 1 % fast: the newest block plays again, counted, and nothing stalls.
    Clocks fast;
    for (int k = 0; k < 400; ++k)
    {
        fast.Capture();
        fast.Render(k % 100 == 99 ? 2 * kBlock : kBlock);
    }
    EXPECT_EQ(0, fast.q.Dropped());
    EXPECT_EQ(3, fast.q.Repeated());
    // Capture 1 % fast: the oldest waiting block goes, and the wait stays within
    // the four blocks.
    Clocks slow;
    for (int k = 0; k < 400; ++k)
    {
        slow.Capture();
        if (k % 100 != 99)
            slow.Render(kBlock);
        ASSERT_LE(slow.q.Waiting(), 4 * kBlock);
    }
    EXPECT_EQ(1, slow.q.Dropped());
    EXPECT_EQ(0, slow.q.Repeated());
    // What plays after the first block of silence is whole blocks in order, less
    // the dropped one.
    for (size_t i = kBlock + 1; i < slow.played.size(); ++i)
        ASSERT_TRUE(slow.played[i] == slow.played[i - 1] + 1 ||
                    (i % kBlock == 0 && slow.played[i] == slow.played[i - 1] + 1 + kBlock))
            << i;
}

} // namespace
