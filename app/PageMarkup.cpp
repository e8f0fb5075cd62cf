#include "app/PageMarkup.h"

#include <cstring>

namespace {

class CPageReader
{
public:
    std::vector<PageLine> m_Lines;

    void Text(char c)
    {
        if (m_iLineLength >= kPageLineSize - 1)
            return;
        if (m_Line.empty() || m_Line.back().bBold != m_bBold || m_Line.back().bBlue != m_bBlue)
            m_Line.push_back(PageRun{std::string(), m_bBold, m_bBlue});
        m_Line.back().sText += c;
        ++m_iLineLength;
    }

    void EndLine()
    {
        m_Lines.push_back(std::move(m_Line));
        m_Line.clear();
        m_iLineLength = 0;
        m_bBold = false;
    }

    void Bold() { m_bBold = true; }
    void Blue() { m_bBlue = true; }

private:
    PageLine m_Line;
    int m_iLineLength = 0;
    bool m_bBold = false;
    bool m_bBlue = false;
};

bool StartsWith(const char* p, const char* pEnd, const char* szTag)
{
    const std::size_t n = std::strlen(szTag);
    return static_cast<std::size_t>(pEnd - p) >= n && std::memcmp(p, szTag, n) == 0;
}

} // namespace

std::vector<PageLine> ReadPageMarkup(const char* pData, std::size_t nSize)
{
    CPageReader reader;
    if (!pData)
        return reader.m_Lines;
    const char* p = pData;
    const char* const pEnd = pData + nSize;
    while (p < pEnd)
    {
        const char c = *p;
        if (c == '\n')
        {
            reader.EndLine();
            ++p;
        }
        else if (c == '\r')
        {
            ++p;  // part of a CR LF line end
        }
        else if (c != '<')
        {
            reader.Text(c);
            ++p;
        }
        else if (StartsWith(p, pEnd, "<b>"))
        {
            reader.Bold();
            p += 3;
        }
        else if (StartsWith(p, pEnd, "<l>") || StartsWith(p, pEnd, "</l>"))
        {
            reader.Blue();
            p += p[1] == '/' ? 4 : 3;
        }
        else if (StartsWith(p, pEnd, "</b>"))
        {
            p += 4;
        }
        else
        {
            // An unknown tag: the "<" and the character after it, unless that
            // one ends the line.
            ++p;
            if (p < pEnd && *p != '\n' && *p != '\r')
                ++p;
        }
    }
    return reader.m_Lines;
}
