// tq-analyze's command line: the input is split at NUL bytes into arguments. Any
// command either succeeds or fails with exactly one error line and no output.
// The seeds reach every option, --reference among them, and two readable files.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "tools/AnalyzeCommand.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    std::vector<std::string> args(1);
    for (size_t i = 0; i < nSize; ++i)
    {
        if (pData[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(pData[i]);
    }
    std::vector<const char*> argv = {"tq-analyze"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int iStatus = RunAnalyzeCommand(static_cast<int>(argv.size()), argv.data(), out, err);
    FuzzCheck(iStatus == kAnalyzeOk || iStatus == kAnalyzeFailed || iStatus == kAnalyzeBadInput, "a known status");
    if (iStatus != kAnalyzeOk)
    {
        const std::string e = err.str();
        FuzzCheck(out.str().empty(), "no output on failure");
        FuzzCheck(e.rfind("tq-analyze: ", 0) == 0 && e.find('\n') == e.size() - 1, "exactly one error line");
    }
    return 0;
}
