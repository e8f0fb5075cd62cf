// The command-line number parsers on any text: only a sign and digits pass as a
// whole number, and every number read is finite and within the saturation bounds.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "tools/NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    const std::string s(reinterpret_cast<const char*>(pData), nSize);
    int i = 0;
    if (ParseInt(s, &i))
    {
        const size_t nSign = !s.empty() && (s[0] == '+' || s[0] == '-') ? 1 : 0;
        FuzzCheck(s.size() > nSign, "digits after the sign");
        for (size_t k = nSign; k < s.size(); ++k)
            FuzzCheck(std::isdigit(static_cast<unsigned char>(s[k])) != 0, "only digits");
        // Up to nine digits the value is exact.
        if (s.size() - nSign <= 9)
            FuzzCheck(i == std::atoi(s.c_str()), "the value of the digits");
        FuzzCheck(i != INT32_MIN, "saturates symmetrically");
    }
    float f = 0.0f;
    if (ParseFloat(s, &f))
    {
        FuzzCheck(std::isfinite(f) && std::fabs(f) <= 1.0e9f, "finite and within the bounds");
        FuzzCheck(s.find_first_not_of("+-.0123456789eE") == std::string::npos, "plain decimal characters only");
    }
    return 0;
}
