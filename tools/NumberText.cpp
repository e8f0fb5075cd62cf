#include "tools/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

// Whole numbers only: an optional sign and digits, nothing else. Values too large
// for an int saturate, so the range check reports them.
bool ParseInt(const std::string& s, int* pValue)
{
    size_t i = 0;
    bool bNegative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        bNegative = s[i++] == '-';
    if (i == s.size())
        return false;
    long long v = 0;
    for (; i < s.size(); ++i)
    {
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
        if (v < 10000000000LL)
            v = v * 10 + (s[i] - '0');
    }
    if (bNegative)
        v = -v;
    v = std::max<long long>(-2147483647LL, std::min<long long>(2147483647LL, v));
    *pValue = static_cast<int>(v);
    return true;
}

// Plain decimal numbers ("1", "0.5", ".5", "2.", "1e-1"); no hex, "inf", "nan" or
// surrounding blanks, which strtod alone would let through.
bool ParseFloat(const std::string& s, float* pValue)
{
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t nDigits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i, ++nDigits;
    if (i < s.size() && s[i] == '.')
    {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++nDigits;
    }
    if (nDigits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E'))
    {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (i == s.size() || !std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i;
    }
    if (i != s.size())
        return false;
    double d = std::strtod(s.c_str(), nullptr);
    // Overflow gives infinity; keep it finite and far outside every range.
    d = std::max(-1.0e9, std::min(1.0e9, d));
    *pValue = static_cast<float>(d);
    return true;
}
