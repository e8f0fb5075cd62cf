#include "tests/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/Log.h"

#include <memory>
#include <stdexcept>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

bool WaitUntil(const std::function<bool()>& done, double dSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(dSeconds);
    while (!done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

#if defined(_WIN32)
namespace {
DWORD WINAPI RunBody(void* p)
{
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(p));
    (*body)();
    return 0;
}
} // namespace

void TestThreads::StartThread(std::function<void()> body)
{
    auto* p = new std::function<void()>(std::move(body));
    HANDLE h = CreateThread(nullptr, 0, RunBody, p, 0, nullptr);
    if (!h)
    {
        delete p;
        throw std::runtime_error("CreateThread failed");
    }
    m_Threads.push_back(h);
}

void TestThreads::StopAndJoin()
{
    m_bRunning.store(false, std::memory_order_relaxed);
    for (void* h : m_Threads)
    {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
    m_Threads.clear();
}
#else
void TestThreads::StartThread(std::function<void()> body) { m_Threads.emplace_back(std::move(body)); }

void TestThreads::StopAndJoin()
{
    m_bRunning.store(false, std::memory_order_relaxed);
    for (std::thread& t : m_Threads)
        if (t.joinable())
            t.join();
    m_Threads.clear();
}
#endif

std::string TestDataPath(const std::string& name)
{
    return std::string(TQ_TEST_DATA_DIR) + "/" + name;
}

namespace {

// A fresh folder for this process's log, removed again at exit. It is made while
// g_Log is being constructed, so it is destroyed after g_Log has written its footer.
struct TempLogFolder
{
    std::string sPath;
    TempLogFolder()
    {
        namespace fs = std::filesystem;
        std::random_device rd;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        fs::path p = fs::temp_directory_path() /
                     ("tq-tests-" + std::to_string(stamp) + "-" + std::to_string(rd() % 1000000));
        fs::create_directories(p);
        sPath = p.string();
    }
    ~TempLogFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(sPath, ec);
    }
};

} // namespace

const char* TestLogDirectory()
{
    static const TempLogFolder folder;
    return folder.sPath.c_str();
}

std::string TestFifoPath()
{
#if defined(_WIN32)
    return std::string();
#else
    static const std::string path = [] {
        const std::string p = std::string(TestLogDirectory()) + "/fifo";
        return mkfifo(p.c_str(), 0600) == 0 ? p : std::string();
    }();
    return path;
#endif
}

std::vector<std::string> ReadTextLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(!line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
    return lines;
}

std::vector<std::string> LogLines()
{
    return ReadTextLines(g_Log.FileNameNPath);
}

int CountLogLines(const std::string& text)
{
    const std::vector<std::string> lines = LogLines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}
