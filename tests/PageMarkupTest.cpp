// The first-run pages' markup: bold to the end of the line, blue to the end of
// the page, tags never shown, the unterminated last line lost, long lines cut.
#include <gtest/gtest.h>

#include <string>

#include "app/PageMarkup.h"

namespace {

// Lines as text with the style of each run marked: [b] bold, [l] blue, [bl] both.
std::string Show(const std::string& page)
{
    std::string out;
    for (const PageLine& line : ReadPageMarkup(page.data(), page.size()))
    {
        for (const PageRun& run : line)
        {
            if (run.bBold || run.bBlue)
                out += std::string("[") + (run.bBold ? "b" : "") + (run.bBlue ? "l" : "") + "]";
            out += run.sText;
        }
        out += "|";
    }
    return out;
}

TEST(PageMarkup, Cases)
{
    struct Case
    {
        const char* szPage;
        const char* szShown;
    } const cases[] = {
        {"plain\n\nline\n", "plain||line|"},
        {"a <b>bold</b> rest\nnext\n", "a [b]bold rest|next|"},
        {"<b>title\r\nbody\r\n", "[b]title|body|"},
        {"see <l>here</l> and\nthen\n<b>x\n", "see [l]here and|[l]then|[bl]x|"},
        {"last line lost", ""},
        {"kept\nlost", "kept|"},
        {"x<q>y\n", "x>y|"},
        {"a<\nb\n", "a|b|"},
        {"a<", ""},
        {"<b", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Show(c.szPage), c.szShown) << c.szPage;
}

TEST(PageMarkup, LinesAreCutToTheBuffer)
{
    const std::string page = std::string(300, 'a') + "<b>" + "\nshort\n";
    const auto lines = ReadPageMarkup(page.data(), page.size());
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0].size(), 1u);
    EXPECT_EQ(lines[0][0].sText.size(), static_cast<size_t>(kPageLineSize - 1));
    EXPECT_EQ(lines[1][0].sText, "short");
}

TEST(PageMarkup, NoDataNoLines)
{
    EXPECT_TRUE(ReadPageMarkup(nullptr, 5).empty());
}

} // namespace
