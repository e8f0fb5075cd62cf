#pragma once
// Helpers shared by the test programs.
#include <atomic>
#include <functional>
#include <string>
#if !defined(_WIN32)
#include <thread>
#endif
#include <utility>
#include <vector>

// Folder of the checked-in test recordings.
std::string TestDataPath(const std::string& name);

// Folder (made once per run) where the test programs' own log file lives.
const char* TestLogDirectory();

// A FIFO in the test folder (made on first use), whose open blocks until a writer
// comes; empty where the system has none (Windows).
std::string TestFifoPath();

// Lines of a text file; empty when it cannot be read.
std::vector<std::string> ReadTextLines(const std::string& path);

// The lines the program's log (g_Log) has written so far.
std::vector<std::string> LogLines();

// How often a line equal to text appears in the program's log.
int CountLogLines(const std::string& text);

// How long a test waits for another thread, a window or a file before it fails:
// generous, so that a slow or busy machine makes a test slower, never red. Under
// the 32-bit emulator on a loaded machine a whole test program was seen to run six
// times slower than alone, beyond 20 s.
constexpr double kWaitSeconds = 60.0;

// Polls done() until it holds or the deadline passes; false then. Waits are
// deadlines in seconds, never counts of loops, whose length depends on the machine.
bool WaitUntil(const std::function<bool()>& done, double dSeconds = kWaitSeconds);

// The threads a test starts, stopped and joined on every way out of the test, a
// failed assertion included: a joinable std::thread left behind would end the
// whole test program. Declare it after what the threads use, so it goes first.
// The Windows builds have no std::thread (their runtime keeps to what Windows XP
// has) and use the system's threads.
class TestThreads
{
public:
    TestThreads() = default;
    TestThreads(const TestThreads&) = delete;
    TestThreads& operator=(const TestThreads&) = delete;
    ~TestThreads() { StopAndJoin(); }

    // The threads run body until Running() turns false.
    template <class F>
    void Start(F&& body)
    {
        m_bRunning.store(true, std::memory_order_relaxed);
        StartThread(std::function<void()>(std::forward<F>(body)));
    }
    bool Running() const { return m_bRunning.load(std::memory_order_relaxed); }
    void StopAndJoin();

private:
    void StartThread(std::function<void()> body);

    std::atomic<bool> m_bRunning{false};
#if defined(_WIN32)
    std::vector<void*> m_Threads;  // thread handles
#else
    std::vector<std::thread> m_Threads;
#endif
};

constexpr double kPi = 3.14159265358979323846;
