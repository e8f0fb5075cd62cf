#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Log.h"
#include "tests/TestSupport.h"

namespace {

// The main, audio and frame-tick threads all print through the one log. Lines from
// different threads may come in any order, but each must arrive whole and once.
TEST(LogThreads, ConcurrentPrintsKeepEveryLineWhole)
{
    constexpr int kThreads = 8;
    constexpr int kLines = 300;
    const std::string sPayload = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::filesystem::path dir = std::filesystem::path(TestLogDirectory()) / "threads";
    std::filesystem::create_directories(dir);
    {
        CLog log(dir.string().c_str());
        TestThreads threads;
        for (int t = 0; t < kThreads; ++t)
        {
            // The forms alternate, so the number conversions run concurrently too.
            threads.Start([&log, &sPayload, t] {
                for (int i = 0; i < kLines; ++i)
                {
                    const std::string sId = "T" + std::to_string(t) + " L" + std::to_string(i);
                    const std::string sText = sId + " " + sPayload;
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
        threads.StopAndJoin();
    }

    std::vector<std::string> want;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLines; ++i)
        {
            const std::string sNumber[] = {"", "", " " + std::to_string(-i), " " + std::to_string(i) + ".500000"};
            want.push_back("T" + std::to_string(t) + " L" + std::to_string(i) + " " + sPayload + sNumber[i % 4]);
        }
    std::vector<std::string> got = ReadTextLines((dir / "Logfile.txt").string());
    ASSERT_EQ(got.size(), 4 + want.size() + 2);  // header, the lines, footer
    EXPECT_EQ(got[got.size() - 2], "End of Tonquarry Logfile");
    got = std::vector<std::string>(got.begin() + 4, got.end() - 2);
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_TRUE(got == want) << "some lines were torn, merged or lost";
}

} // namespace
