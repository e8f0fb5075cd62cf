// The first-run page markup reader on any bytes: one line for every line end,
// each at most 259 characters of its own source line, in runs whose style
// changes from one to the next, blue once blue; no tag or line end is drawn.
#include <cstdint>
#include <string>
#include <vector>

#include "app/PageMarkup.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    const std::string sPage(reinterpret_cast<const char*>(pData), nSize);
    const std::vector<PageLine> lines = ReadPageMarkup(sPage.data(), sPage.size());
    size_t nLineEnds = 0;
    for (char c : sPage)
        nLineEnds += c == '\n';
    FuzzCheck(lines.size() == nLineEnds, "one line for every line end");

    bool bBlue = false;
    size_t nStart = 0;
    for (const PageLine& line : lines)
    {
        const size_t nEnd = sPage.find('\n', nStart);
        const std::string sSource = sPage.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        std::string sDrawn;
        for (size_t i = 0; i < line.size(); ++i)
        {
            const PageRun& run = line[i];
            FuzzCheck(!run.sText.empty(), "no empty run");
            FuzzCheck(run.sText.find_first_of("<\r\n") == std::string::npos, "no tag or line end drawn");
            FuzzCheck(i == 0 || run.bBold != line[i - 1].bBold || run.bBlue != line[i - 1].bBlue, "a run per style");
            FuzzCheck(run.bBlue || !bBlue, "blue to the end of the page");
            bBlue = run.bBlue;
            sDrawn += run.sText;
        }
        FuzzCheck(sDrawn.size() < static_cast<size_t>(kPageLineSize), "a line is cut at 259 characters");
        // What is drawn comes from the source line, in order.
        size_t k = 0;
        for (char c : sSource)
            k += k < sDrawn.size() && sDrawn[k] == c;
        FuzzCheck(k == sDrawn.size(), "drawn from its own line");
        if (sSource.find('<') == std::string::npos)
        {
            std::string sPlain;
            for (char c : sSource)
                if (c != '\r')
                    sPlain += c;
            FuzzCheck(sDrawn == sPlain.substr(0, kPageLineSize - 1), "plain text is drawn as it is");
            FuzzCheck(line.empty() || !line[0].bBold, "bold ends with its line");
        }
    }
    return 0;
}
