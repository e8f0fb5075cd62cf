#pragma once
// A broken promise stops the run, and libFuzzer keeps the input that broke it.
#include <cstdio>
#include <cstdlib>
#include <string>

inline void FuzzCheck(bool bHolds, const char* szWhat)
{
    if (!bHolds)
    {
        std::fprintf(stderr, "fuzz check failed: %s\n", szWhat);
        std::abort();
    }
}

// A refusal is one line of text.
inline void FuzzCheckOneLine(const std::string& s)
{
    FuzzCheck(!s.empty() && s.find('\n') == std::string::npos, "the error is one non-empty line");
}
