#include "base/Utf8.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }
bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The code point of the sequence at s[i] and its length; 0 for a byte that starts
// no well-formed sequence (overlong forms and values past U+10FFFF included).
char32_t DecodeOne(const std::string& s, std::size_t i, std::size_t* pLength)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const std::size_t nLeft = s.size() - i;
    const unsigned char c = at(0);
    *pLength = 1;
    if (c < 0x80)
        return c;
    if (c >= 0xC2 && c <= 0xDF && nLeft >= 2 && IsContinuation(at(1)))
    {
        *pLength = 2;
        return (char32_t(c & 0x1F) << 6) | (at(1) & 0x3F);
    }
    if (c >= 0xE0 && c <= 0xEF && nLeft >= 3 && IsContinuation(at(1)) && IsContinuation(at(2)) &&
        (c != 0xE0 || at(1) >= 0xA0))
    {
        *pLength = 3;
        return (char32_t(c & 0x0F) << 12) | (char32_t(at(1) & 0x3F) << 6) | (at(2) & 0x3F);
    }
    if (c >= 0xF0 && c <= 0xF4 && nLeft >= 4 && IsContinuation(at(1)) && IsContinuation(at(2)) &&
        IsContinuation(at(3)) && (c != 0xF0 || at(1) >= 0x90) && (c != 0xF4 || at(1) <= 0x8F))
    {
        *pLength = 4;
        return (char32_t(c & 0x07) << 18) | (char32_t(at(1) & 0x3F) << 12) | (char32_t(at(2) & 0x3F) << 6) |
               (at(3) & 0x3F);
    }
    return 0;
}

} // namespace

std::u16string Utf8ToUtf16(const std::string& s)
{
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
    {
        std::size_t n = 1;
        const char32_t c = DecodeOne(s, i, &n);
        if (c == 0 && s[i] != '\0')
            out.push_back(kReplacement);
        else if (c >= 0x10000)
        {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
        else
            out.push_back(static_cast<char16_t>(c));
        i += n;
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& s)
{
    std::string out;
    out.reserve(s.size() * 3);
    for (std::size_t i = 0; i < s.size(); ++i)
    {
        char32_t c = s[i];
        if (IsHighSurrogate(s[i]) && i + 1 < s.size() && IsLowSurrogate(s[i + 1]))
        {
            c = 0x10000 + ((char32_t(s[i] - 0xD800) << 10) | char32_t(s[i + 1] - 0xDC00));
            ++i;
        }
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else if (c < 0x800)
        {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else if (c < 0x10000)
        {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else
        {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::size_t Utf16Length(const std::string& s)
{
    std::size_t nUnits = 0;
    for (std::size_t i = 0; i < s.size();)
    {
        std::size_t n = 1;
        nUnits += DecodeOne(s, i, &n) >= 0x10000 ? 2 : 1;
        i += n;
    }
    return nUnits;
}
