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
    const struct { std::string sPage, sShown; } cases[] = {
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
        {std::string(300, 'a') + "<b>\nshort\n", std::string(kPageLineSize - 1, 'a') + "|short|"},  // cut to the buffer
    };
    for (const auto& c : cases)
        EXPECT_EQ(Show(c.sPage), c.sShown) << c.sPage;
    EXPECT_TRUE(ReadPageMarkup(nullptr, 5).empty());
}

} // namespace
