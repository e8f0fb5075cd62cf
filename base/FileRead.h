#pragma once
// Files the programs read: only regular files are opened, since a FIFO blocks in
// the open and a device may never end, and no file is read past a size that makes
// sense for what the caller expects, so a wrong name cannot exhaust memory.
#include <cstdint>
#include <string>
#include <vector>

// Empty when path names a regular file (links followed), else why not, without
// the path: "no such file", "is a directory", "is not a regular file". A file
// about to be written may be missing (bMayBeMissing).
std::string RegularFileProblem(const std::string& path, bool bMayBeMissing = false);

// The whole file, at most uMaxBytes of it; false with one line naming the path in
// *pError (and *pBytes empty) when it cannot be read or is larger.
bool ReadWholeFile(const std::string& path, std::uint64_t uMaxBytes, std::vector<std::uint8_t>* pBytes,
                   std::string* pError);
