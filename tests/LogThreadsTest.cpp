#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "app/Log.h"
#include "tests/LogTestFiles.h"

namespace {

using namespace logtest;

// The main, audio and frame-tick threads all print through the one log. Lines from
// different threads may come in any order, but each must arrive whole and once.
TEST(LogThreads, ConcurrentPrintsKeepEveryLineWhole)
{
    constexpr int kThreads = 8;
    constexpr int kLines = 300;
    const std::string sPayload = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

    // The exact line each (thread, index) writes; the forms alternate so that
    // the number conversions run concurrently as well.
    auto expectedLine = [&](int t, int i) {
        std::string sId = "T" + std::to_string(t) + " L" + std::to_string(i);
        switch (i % 4)
        {
        case 0: return sId + " " + sPayload;
        case 1: return sId + " " + sPayload;
        case 2: return sId + " " + sPayload + " " + std::to_string(-i);
        default: return sId + " " + sPayload + " " + std::to_string(i) + ".500000";
        }
    };

    TempDir dir;
    {
        CLog log(dir.Str().c_str());
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
        {
            threads.emplace_back([&log, &sPayload, t] {
                for (int i = 0; i < kLines; ++i)
                {
                    std::string sId = "T" + std::to_string(t) + " L" + std::to_string(i);
                    std::string sText = sId + " " + sPayload;
                    switch (i % 4)
                    {
                    case 0: log.Print(sText.c_str()); break;
                    case 1: log.Print(sId.c_str(), sPayload.c_str()); break;
                    case 2: log.Print(sText.c_str(), -i); break;
                    default: log.Print(sText.c_str(), static_cast<float>(i) + 0.5f); break;
                    }
                }
            });
        }
        for (std::thread& th : threads)
            th.join();
    }

    std::string sContent = ReadText(dir.LogFile());
    std::string sHeader = Header(dir.LogFileStr());
    ASSERT_EQ(sContent.compare(0, sHeader.size(), sHeader), 0);
    ASSERT_GE(sContent.size(), sHeader.size() + Footer().size());
    ASSERT_EQ(sContent.substr(sContent.size() - Footer().size()), Footer());
    std::vector<std::string> got =
        SplitLines(sContent.substr(sHeader.size(), sContent.size() - sHeader.size() - Footer().size()));

    std::vector<std::string> want;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLines; ++i)
            want.push_back(expectedLine(t, i));

    ASSERT_EQ(got.size(), want.size());
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_TRUE(got == want) << "some lines were torn, merged or lost";
}

} // namespace
