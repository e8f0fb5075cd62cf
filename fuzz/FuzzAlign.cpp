// tq-align's command line and the two recordings it reads. The input is: two bytes
// (little-endian) giving the first file's length, its bytes, the same for the
// second file, then the options split at NUL bytes. Either the command prints one
// result line, or it fails with exactly one error line and no output.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "tools/SignalAlign.h"

namespace {

const std::string& Folder()
{
    static const std::string dir = [] {
        char sz[] = "/tmp/tq-fuzz-align.XXXXXX";
        FuzzCheck(mkdtemp(sz) != nullptr, "a folder for the recordings");
        return std::string(sz);
    }();
    return dir;
}

// The next length-prefixed part of the input, written to a file of the folder.
std::string TakeFile(const std::uint8_t*& p, const std::uint8_t* pEnd, const char* szName)
{
    size_t n = 0;
    if (pEnd - p >= 2)
    {
        n = p[0] | static_cast<size_t>(p[1]) << 8;
        p += 2;
    }
    if (n > static_cast<size_t>(pEnd - p))
        n = static_cast<size_t>(pEnd - p);
    const std::string path = Folder() + "/" + szName;
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(p),
                                                                   static_cast<std::streamsize>(n));
    p += n;
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    const std::uint8_t* p = pData;
    const std::uint8_t* pEnd = pData + nSize;
    std::vector<std::string> args = {"tq-align", TakeFile(p, pEnd, "reference.wav"), TakeFile(p, pEnd, "recorded.wav")};
    if (p < pEnd)
    {
        args.emplace_back();
        for (; p < pEnd; ++p)
        {
            if (*p == 0)
                args.emplace_back();
            else
                args.back() += static_cast<char>(*p);
        }
    }
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int iStatus = RunAlignCommand(static_cast<int>(argv.size()), argv.data(), out, err);
    FuzzCheck(iStatus == kAlignOk || iStatus == kAlignBelow || iStatus == kAlignBadInput, "a known status");
    const std::string o = out.str(), e = err.str();
    if (iStatus == kAlignBadInput)
    {
        FuzzCheck(o.empty(), "no output on failure");
        FuzzCheck(e.rfind("tq-align: ", 0) == 0 && e.find('\n') == e.size() - 1, "exactly one error line");
    }
    else
    {
        FuzzCheck(e.empty(), "no error line on success");
        FuzzCheck(o.rfind("lag ", 0) == 0 && o.find('\n') == o.size() - 1, "one result line");
        FuzzCheck(o.find("nan") == std::string::npos && o.find("inf") == std::string::npos, "finite figures");
    }
    return 0;
}
