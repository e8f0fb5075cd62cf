#pragma once
// The first-run pages' small markup: "<b>" makes the rest of its line bold,
// "<l>" (or "</l>") makes the rest of the page blue, "</b>" does nothing. Any
// other "<" is dropped with the character after it (a line end still ends its
// line). Tags are never drawn. Only text followed by a line end is a line: text
// after the last line end is not shown. Lines are cut at 259 characters.
#include <cstddef>
#include <string>
#include <vector>

struct PageRun
{
    std::string sText;
    bool bBold = false;
    bool bBlue = false;
};

// One line of the page: its runs in order (none for an empty line).
using PageLine = std::vector<PageRun>;

constexpr int kPageLineSize = 260;

std::vector<PageLine> ReadPageMarkup(const char* pData, std::size_t nSize);
