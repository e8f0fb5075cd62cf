#include "base/FileRead.h"

#include <filesystem>
#include <fstream>
#include <system_error>

std::string RegularFileProblem(const std::string& path, bool bMayBeMissing)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(fs::path(path), ec);
    if (!fs::exists(st))
        return bMayBeMissing ? std::string() : "no such file";
    if (fs::is_directory(st))
        return "is a directory";
    if (!fs::is_regular_file(st))
        return "is not a regular file";
    return std::string();
}

bool ReadWholeFile(const std::string& path, std::uint64_t uMaxBytes, std::vector<std::uint8_t>* pBytes,
                   std::string* pError)
{
    pBytes->clear();
    auto fail = [&](const std::string& why) {
        pBytes->clear();
        if (pError)
            *pError = why;
        return false;
    };
    const std::string sProblem = RegularFileProblem(path);
    if (!sProblem.empty())
        return fail(path + ": " + sProblem);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail("cannot open " + path);
    // Read in slabs rather than trusting a size asked up front: the file may grow
    // while it is read.
    char slab[1 << 14];
    while (in.read(slab, sizeof slab) || in.gcount() > 0)
    {
        const size_t n = static_cast<size_t>(in.gcount());
        if (pBytes->size() + n > uMaxBytes)
            return fail(path + " is larger than " + std::to_string(uMaxBytes) + " bytes");
        pBytes->insert(pBytes->end(), slab, slab + n);
    }
    if (in.bad())
        return fail("cannot read " + path);
    return true;
}
