#pragma once
// Small file helpers for the log tests: a fresh directory per test and the log file
// read back in text mode, so a Windows build sees "\n" line ends as well.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "app/SystemQuery.h"

namespace logtest {

namespace fs = std::filesystem;

// A new empty directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class TempDir
{
public:
    TempDir()
    {
        std::random_device rd;
        std::mt19937_64 rng((static_cast<unsigned long long>(rd()) << 32) ^
                            static_cast<unsigned long long>(
                                std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::path base = fs::temp_directory_path();
        for (int i = 0; i < 100; ++i)
        {
            fs::path p = base / ("tq-log-" + std::to_string(rng() % 1000000000ull));
            std::error_code ec;
            if (fs::create_directory(p, ec))
            {
                m_Path = p;
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary directory");
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(LogFile(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_Path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& Path() const { return m_Path; }
    std::string Str() const { return m_Path.string(); }
    fs::path LogFile() const { return m_Path / "Logfile.txt"; }
    // What the log writes as its full path for this directory.
    std::string LogFileStr() const { return Str() + PATH_SEPARATOR + "Logfile.txt"; }

private:
    fs::path m_Path;
};

inline std::string ReadText(const fs::path& p)
{
    std::ifstream in(p);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteText(const fs::path& p, const std::string& s)
{
    std::ofstream out(p);
    out << s;
}

inline std::string Header(const std::string& sPath)
{
    return "Tonquarry Logfile\n\nCLog::CLog() FileNameNPath : " + sPath + "\n\n";
}

inline const std::string& Footer()
{
    static const std::string s = "End of Tonquarry Logfile\n\n";
    return s;
}

inline std::vector<std::string> SplitLines(const std::string& s)
{
    std::vector<std::string> lines;
    std::istringstream in(s);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Restores the working directory when the test leaves.
class WorkingDirectory
{
public:
    explicit WorkingDirectory(const fs::path& p) : m_Old(fs::current_path()) { fs::current_path(p); }
    ~WorkingDirectory()
    {
        std::error_code ec;
        fs::current_path(m_Old, ec);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    fs::path m_Old;
};

} // namespace logtest
