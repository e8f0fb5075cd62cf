// The path conversions on any bytes: every UTF-16 text comes back from UTF-8
// unchanged (lone surrogates too), any bytes convert to UTF-8 that converts to
// itself, and the counted length is the converted one.
#include <cstdint>
#include <string>

#include "base/Utf8.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    const std::string sBytes(reinterpret_cast<const char*>(pData), nSize);
    const std::u16string s16 = Utf8ToUtf16(sBytes);
    FuzzCheck(Utf16Length(sBytes) == s16.size(), "the counted length is the converted one");
    const std::string s8 = Utf16ToUtf8(s16);
    FuzzCheck(Utf16ToUtf8(Utf8ToUtf16(s8)) == s8, "converted text converts to itself");

    // The same bytes read as UTF-16 units, as a Windows call returns them.
    std::u16string sUnits;
    for (size_t i = 0; i + 1 < nSize; i += 2)
        sUnits.push_back(static_cast<char16_t>(pData[i] | (pData[i + 1] << 8)));
    FuzzCheck(Utf8ToUtf16(Utf16ToUtf8(sUnits)) == sUnits, "every UTF-16 text survives UTF-8");
    return 0;
}
