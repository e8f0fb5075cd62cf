// Whole-file reads: regular files only, never past the caller's limit, and one
// line naming the path for everything else.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "base/FileRead.h"
#include "tests/TestSupport.h"

namespace {

TEST(FileRead, RegularFilesUpToTheLimitOnlyAndOneLineOtherwise)
{
    const std::string dir = TestLogDirectory(), file = dir + "/five-bytes";
    std::ofstream(file, std::ios::binary) << "12345";
    const struct { std::string path; std::uint64_t uMax; const char* szWords; } cases[] = {
        {file, 5, nullptr},
        {file, 4, "larger than 4 bytes"},
        {dir + "/missing", 5, "no such file"},
        {dir, 5, "is a directory"},
        {TestFifoPath(), 5, "not a regular file"},  // would block in the open
#if !defined(_WIN32)
        {"/dev/zero", 5, "not a regular file"},  // never ends
#endif
    };
    for (const auto& c : cases)
    {
        if (c.path.empty())
            continue;
        SCOPED_TRACE(c.path);
        std::vector<std::uint8_t> bytes = {9};
        std::string error;
        EXPECT_EQ(ReadWholeFile(c.path, c.uMax, &bytes, &error), c.szWords == nullptr);
        if (!c.szWords)
        {
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "12345");
            continue;
        }
        EXPECT_TRUE(bytes.empty());
        EXPECT_NE(error.find(c.szWords), std::string::npos) << error;
        EXPECT_EQ(error.rfind(c.path, 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    // A file about to be written may be missing; a FIFO is refused for writing too.
    EXPECT_EQ(RegularFileProblem(dir + "/missing", true), "");
    if (!TestFifoPath().empty())
    {
        EXPECT_EQ(RegularFileProblem(TestFifoPath(), true), "is not a regular file");
    }
}

} // namespace
