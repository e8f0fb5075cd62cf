#include "dsp/ReferencePitch.h"

#include <cstdio>

std::atomic<int> g_iReferenceTenths{kDefaultReferenceTenths};

float ReferenceA4()
{
    return static_cast<float>(g_iReferenceTenths.load(std::memory_order_relaxed)) / 10.0f;
}

long double ReferenceRatio()
{
    return static_cast<long double>(g_iReferenceTenths.load(std::memory_order_relaxed)) / 4400.0L;
}

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool ParseReferenceA4(const char* szText, int* piTenths)
{
    if (!szText)
        return false;
    const char* p = szText;
    while (IsSpace(*p))
        ++p;
    int iTenths = 0;
    int iDigits = 0;
    for (; IsDigit(*p) && iDigits < 4; ++p, ++iDigits)
        iTenths = 10 * iTenths + (*p - '0');
    if (iDigits == 0 || IsDigit(*p))
        return false;
    iTenths *= 10;
    if (*p == '.')
    {
        ++p;
        // A decimal point needs a digit after it; only tenths are steps of the range.
        if (!IsDigit(*p))
            return false;
        iTenths += *p++ - '0';
        if (IsDigit(*p))
            return false;
    }
    while (IsSpace(*p))
        ++p;
    if (*p != '\0' || iTenths < kMinReferenceTenths || iTenths > kMaxReferenceTenths)
        return false;
    *piTenths = iTenths;
    return true;
}

std::string ReferenceText(int iTenths)
{
    char sz[16];
    std::snprintf(sz, sizeof(sz), "%d.%d", iTenths / 10, iTenths % 10);
    return sz;
}
