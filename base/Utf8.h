#pragma once
// Paths travel through the program as UTF-8 text: the log, the settings and the
// pages keep their byte formats, and a folder name in any script survives. Only
// the Windows edge speaks UTF-16. The conversions keep every name Windows can
// hand out, an unpaired surrogate too (written as its own three-byte sequence),
// so a name read from the system opens the same file again.
#include <cstddef>
#include <string>

// Bytes that are not UTF-8 become U+FFFD each.
std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);

// The length of the text in UTF-16 units: what a Windows path limit counts.
std::size_t Utf16Length(const std::string& s);

#if defined(_WIN32)
// The same for the Windows calls, whose wide characters are UTF-16 units.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");
inline std::wstring Utf8ToWide(const std::string& s)
{
    const std::u16string u = Utf8ToUtf16(s);
    return std::wstring(u.begin(), u.end());
}
inline std::string WideToUtf8(const wchar_t* wsz)
{
    std::u16string u;
    for (; wsz && *wsz; ++wsz)
        u.push_back(static_cast<char16_t>(*wsz));
    return Utf16ToUtf8(u);
}
#endif
