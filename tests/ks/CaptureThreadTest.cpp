// The kernel-streaming audio thread on a real thread with real events, against the
// simulated world, reporting its end to a hidden window of the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/AppGlobals.h"
#include "app/StreamControlWin.h"
#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "audio/ks/CaptureThread.h"
#include "audio/ks/KsStream.h"
#include "audio/ks/enum.h"
#include "base/WavFile.h"
#include "dsp/Alloc.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "tests/TestSupport.h"
#include "tests/ks/SimulatedKsWorld.h"

HWND g_hWnd = nullptr;  // the program's main window; here the test's hidden one

namespace {

std::vector<LPARAM> s_Exits;
std::vector<std::pair<int, std::string>> s_Reports;

LRESULT CALLBACK TestWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == CM_EXIT_THREAD)
    {
        s_Exits.push_back(lParam);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

void RecordReport(HWND, int iKind, const char* szText) { s_Reports.emplace_back(iKind, szText); }

class KsThread : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TqKsTestWindow";
        RegisterClassA(&wc);
        // A message-only window: hidden, and no display needed.
        g_hWnd = CreateWindowA("TqKsTestWindow", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(g_hWnd, nullptr);
        for (HANDLE& h : m_hCommands)
            h = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        g_pDspEngine = &m_Engine;
        g_pfnReportAudioError = RecordReport;
        m_iLiveBefore = KsLiveAllocations();
        // The engine keeps one block for the process from its first start on.
        SetStreamFormat(48000.0f, 256);
        m_Engine.InitDSP();
        m_Engine.Release();
        m_dwBlocksBefore = g_dwMemBlockCount.load();
        Reset();
    }
    // A capture and a render device without faults, the usual request, nothing reported.
    void Reset()
    {
        world.filters = {SimulatedKsWorld::CaptureDevice("Mic"), SimulatedKsWorld::RenderDevice("Out")};
        world.faults = SimFaults{};
        s_Exits.clear();
        s_Reports.clear();
        g_iAudioErrorKind = 0;
        g_fRequestedSamplingFreq = 48000.0f;
        g_iRequestedBlockSize = 256;
        g_iCaptureDevice = 0;
        g_iRenderDevice = 0;
        g_iInputChannels = 0;
    }
    void TearDown() override
    {
        if (m_hThread)
            Finish();
        world.StopClock();
        m_Engine.Release();
        EXPECT_EQ(world.OpenHandles(), 0);
        EXPECT_EQ(KsLiveAllocations(), m_iLiveBefore);
        EXPECT_EQ(g_dwMemBlockCount.load(), m_dwBlocksBefore);
        KsSetAllocFailAt(0);
        SetAllocFailAt(0);
        for (HANDLE h : m_hCommands)
            ::CloseHandle(h);
        DestroyWindow(g_hWnd);
    }

    void Start()
    {
        m_lWaitsAtStart = world.Waits();
        m_hThread = CreateThread(nullptr, 0, CaptureThreadProc, m_hCommands, 0, nullptr);
    }
    void Signal(int e) { ::SetEvent(m_hCommands[e]); }
    // Delivers the thread's messages until pred holds; false after the deadline.
    bool PumpUntil(const std::function<bool()>& pred, double dSeconds = kWaitSeconds)
    {
        return WaitUntil([&] {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            return pred();
        }, dSeconds);
    }
    // The thread has finished set-up and waits for commands (or has ended).
    bool Ready()
    {
        return PumpUntil([&] { return world.Waits() > m_lWaitsAtStart || !s_Exits.empty(); });
    }
    // Aborts a running thread, waits for its report and its end; the report.
    LPARAM Finish()
    {
        if (s_Exits.empty())
            Signal(eAbort);
        EXPECT_TRUE(PumpUntil([] { return !s_Exits.empty(); }));
        // A thread that never ends fails the test instead of hanging the run.
        if (WaitForSingleObject(m_hThread, 30000) != WAIT_OBJECT_0)
        {
            ADD_FAILURE() << "the audio thread did not end";
            TerminateThread(m_hThread, 0);
        }
        GetExitCodeThread(m_hThread, &m_dwExitCode);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
        return s_Exits.empty() ? 0 : s_Exits.front();
    }
    SimulatedKsWorld world;
    CDspEngine m_Engine;
    HANDLE m_hCommands[4] = {};
    HANDLE m_hThread = nullptr;
    DWORD m_dwExitCode = 0;
    int m_iLiveBefore = 0;
    DWORD m_dwBlocksBefore = 0;
    long m_lWaitsAtStart = 0;
};

std::string NoFilter(const char* szKind)
{
    return std::string("WDM KS couldn't find a compatible ") + szKind +
           " filter.\nPlease download and install the Asio4All universal driver\nfrom here: " + kAsioDownloadAddress;
}
const std::string kNoRecording = NoFilter("recording");

TEST_F(KsThread, SetUpNegotiatesTheStreamOrReportsWhy)
{
    struct Case
    {
        const char* szName;
        std::function<void(SimulatedKsWorld&)> setUp;
        float fRequested;
        int iBlock;
        LPARAM lExit;
        std::string sReport;  // empty: no report
        int iErrorKind;
        float fRate;
        int iBytesPerBlock, iRingBytes, iMaxFreq, iFallbackLines;
    };
    const auto only = [](ULONG lo, ULONG hi) { return [=](SimulatedKsWorld& w) { w.filters[0] = SimulatedKsWorld::CaptureDevice("Mic", lo, hi); }; };
    const Case cases[] = {
        {"requested accepted, 1200 frames", [](SimulatedKsWorld&) {}, 48000, 1200, E_ABORT, "", 0, 48000, 4800, 48000, 96000, 0},
        {"requested accepted, 256 frames", [](SimulatedKsWorld&) {}, 48000, 256, E_ABORT, "", 0, 48000, 1024, 47104, 96000, 0},
        {"12000 requested, one-slot ring", only(12000, 12000), 12000, 2000, E_ABORT, "", 0, 12000, 8000, 8000, 12000, 0},
        {"44100 refused, 48000 found", only(48000, 48000), 44100, 256, E_ABORT, "", 0, 48000, 1024, 47104, 48000, 3},
        {"48000 refused, tried again in the list", only(96000, 96000), 48000, 256, E_ABORT, "", 0, 96000, 1024, 95232, 96000, 7},
        {"only 12000 offered", only(12000, 12000), 48000, 256, E_FAIL, "No audio pins available for recording", 1, 0, 0, 0, 0, 8},
        {"render refuses the capture format",
         [](SimulatedKsWorld& w) { w.filters[1] = SimulatedKsWorld::RenderDevice("Out", 8000, 44100); }, 48000, 256, E_FAIL,
         "No audio pins available for rendering", 2, 0, 0, 0, 0, 0},
        {"device positions beyond the lists",
         [](SimulatedKsWorld& w) {
             w.filters.push_back(SimulatedKsWorld::CaptureDevice("Mic 2", 8000, 60000));
             g_iCaptureDevice = 7;
             g_iRenderDevice = 9;
         },
         48000, 256, E_ABORT, "", 0, 48000, 1024, 47104, 60000, 0},
        {"no filters", [](SimulatedKsWorld& w) { w.filters.clear(); }, 48000, 256, E_FAIL, kNoRecording, 0, 0, 0, 0, 0, 0},
        {"no render filter", [](SimulatedKsWorld& w) { w.filters.pop_back(); }, 48000, 256, E_FAIL, NoFilter("playback"), 0, 0, 0, 0, 0, 0},
        {"enumeration fails", [](SimulatedKsWorld& w) { w.faults.bClassDevs = true; }, 48000, 256, E_FAIL, kNoRecording, 0, 0, 0, 0, 0, 0},
        {"packet events", [](SimulatedKsWorld& w) { w.faults.bManualEventFails = true; }, 48000, 256, E_FAIL, "Out of memory", 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.szName);
        Reset();
        g_fRequestedSamplingFreq = c.fRequested;
        g_iRequestedBlockSize = c.iBlock;
        c.setUp(world);
        const int iTries = static_cast<int>(LogLines().size());
        Start();
        ASSERT_TRUE(Ready());
        EXPECT_EQ(Finish(), c.lExit);
        EXPECT_EQ(m_dwExitCode, c.lExit == E_ABORT ? 0u : 1u);
        SetAllocFailAt(0);
        EXPECT_EQ(g_iAudioErrorKind, c.iErrorKind);
        if (c.sReport.empty())
        {
            EXPECT_TRUE(s_Reports.empty());
            EXPECT_EQ(g_fSamplingFreq, c.fRate);
            EXPECT_EQ(g_fPrevSamplingFreq, c.fRate);
            EXPECT_EQ(g_iBytesPerBlock, c.iBytesPerBlock);
            EXPECT_EQ(g_iRingBytes, c.iRingBytes);
            EXPECT_EQ(g_iBufWordLen, c.iRingBytes / 2);
            EXPECT_EQ(g_iBufMonoLen, 2 * c.iBlock);
            EXPECT_EQ(g_iMaxSamplingFreq, c.iMaxFreq);

            EXPECT_GE(CountLogLines("cbPartialBuffer = " + std::to_string(c.iBytesPerBlock) + " , cPackets = 8"), 1);
            EXPECT_GE(CountLogLines("CaptureThreadProc() exiting thread"), 1);
        }
        else
        {
            ASSERT_EQ(s_Reports.size(), 1u);
            EXPECT_EQ(s_Reports[0].first, c.iErrorKind);
            EXPECT_EQ(s_Reports[0].second, c.sReport);
        }
        // Every "trying this" line of the fallback list, counted from this case's start.
        const std::vector<std::string> lines = LogLines();
        const int iTrying = static_cast<int>(std::count_if(lines.begin() + iTries, lines.end(), [](const std::string& s) {
            return s.rfind("Capture : trying this sampling Frequency =", 0) == 0;
        }));
        EXPECT_EQ(iTrying, c.iFallbackLines);
    }
    EXPECT_GE(CountLogLines("CaptureThreadProc() FAILED No audio pins available for recording.  hr = 0x00000000"), 1);
}

TEST_F(KsThread, CommandTable)
{
    // Reads and writes stay with the paused or stopped device here (no clock), so
    // the stream requests count the primings: eight each.
    struct Case
    {
        const char* szName;
        std::vector<std::vector<int>> steps;  // commands signalled together, step by step
        std::vector<KSSTATE> states;           // pin states sent, capture then render
        long lRequests;
    };
    const KSSTATE S = KSSTATE_STOP, P = KSSTATE_PAUSE, R = KSSTATE_RUN;
    const Case cases[] = {
        {"run from stopped primes", {{eRun}}, {R, R}, 8},
        {"run twice changes nothing", {{eRun}, {eRun}, {eStop}}, {R, R, S, S}, 8},
        {"pause then run primes once", {{ePause}, {eRun}}, {P, P, R, R}, 8},
        {"pause and run pending at one wait", {{ePause, eRun}}, {P, P, R, R}, 8},
        {"pause again", {{ePause}, {ePause}}, {P, P, P, P}, 8},
        {"stop, then run primes again", {{eRun}, {eStop}, {eRun}}, {R, R, S, S, R, R}, 16},
        {"stop while stopped", {{eStop}}, {S, S}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.szName);
        s_Exits.clear();
        const size_t nStatesBefore = world.States().size();
        const long lRequestsBefore = world.StreamRequests();
        for (size_t i = 0; i < c.steps.size(); ++i)
        {
            // Each step's commands are dealt with before the next step's come;
            // the first step's are pending before the thread's first wait.
            std::vector<long> handled;
            for (int e : c.steps[i])
            {
                handled.push_back(world.Handled(m_hCommands[e]));
                Signal(e);
            }
            if (i == 0)
                Start();
            ASSERT_TRUE(PumpUntil([&] {
                for (size_t k = 0; k < handled.size(); ++k)
                    if (world.Handled(m_hCommands[c.steps[i][k]]) == handled[k])
                        return false;
                return true;
            })) << "step " << i << " not dealt with";
        }
        ASSERT_TRUE(PumpUntil([&] { return world.StreamRequests() - lRequestsBefore >= c.lRequests; }))
            << world.StreamRequests() - lRequestsBefore << " stream requests";
        // Time for requests beyond those wanted to show; nothing else wakes the
        // thread, so a surplus comes at once.
        Sleep(200);
        const std::vector<KSSTATE> all = world.States();
        const std::vector<KSSTATE> got(all.begin() + static_cast<long>(nStatesBefore),
                                       all.begin() + static_cast<long>(std::min(all.size(), nStatesBefore + c.states.size())));
        EXPECT_EQ(got, c.states);
        EXPECT_EQ(world.StreamRequests() - lRequestsBefore, c.lRequests);
        EXPECT_EQ(Finish(), E_ABORT);
        // The end: stop on abort, then pause and stop, then the close's stop.
        const std::vector<KSSTATE> after = world.States();
        ASSERT_GE(after.size(), 8u);
        const std::vector<KSSTATE> end(after.end() - 8, after.end());
        EXPECT_EQ(end, (std::vector<KSSTATE>{S, S, P, S, P, S, S, S}));
    }
    EXPECT_GE(CountLogLines("CaptureThreadProc() ePause"), 1);
    EXPECT_GE(CountLogLines("CaptureThreadProc() eAbort"), 1);
}

TEST_F(KsThread, StoppedStreamWaitsQuietly)
{
    world.StartClock();
    Start();
    Signal(eRun);
    ASSERT_TRUE(PumpUntil([&] { return world.Written().size() > 2 * 4096; }));
    const int iStops = CountLogLines("CaptureThreadProc() eStop");
    Signal(eStop);
    // Packets outrank commands, so a slow machine serves the stop late. The device
    // hands back its queued requests on stop; after those nothing may wake the
    // thread, although completed render events are manual-reset.
    ASSERT_TRUE(PumpUntil([&] { return CountLogLines("CaptureThreadProc() eStop") > iStops; }));
    long lWaits = -1;
    ASSERT_TRUE(PumpUntil([&] {
        const long l = world.Waits();
        Sleep(100);
        return std::exchange(lWaits, l) == l;
    })) << "the thread kept waking after the stop";
    // Nothing more may happen: an event left signalled would wake the thread
    // thousands of times in this while.
    lWaits = world.Waits();
    Sleep(300);
    EXPECT_EQ(world.Waits(), lWaits);
    EXPECT_EQ(Finish(), E_ABORT);
}

TEST_F(KsThread, InitDspFailureReportsOutOfMemory)
{
    SetAllocFailAt(1);  // the engine's first array
    Start();
    EXPECT_EQ(Finish(), E_OUTOFMEMORY);
    EXPECT_EQ(m_dwExitCode, static_cast<DWORD>(E_OUTOFMEMORY));
    EXPECT_TRUE(s_Reports.empty());
    EXPECT_GE(CountLogLines("CaptureThreadProc() InitDSP() FAILED"), 1);
}

TEST_F(KsThread, DeviceFailuresWhileStreaming)
{
    const std::pair<const char*, bool SimFaults::*> cases[] = {
        {"reads refused", &SimFaults::bRead},
        {"writes refused", &SimFaults::bWrite},
        {"requests never complete", &SimFaults::bPendForever},
        {"state changes fail", &SimFaults::bState},
    };
    world.StartClock();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.first);
        Reset();
        Start();
        ASSERT_TRUE(Ready());
        const long lMet = world.FaultsMet();
        world.faults.*c.second = true;
        Signal(eRun);
        EXPECT_TRUE(PumpUntil([&] { return world.FaultsMet() > lMet; })) << "the fault never came into play";
        EXPECT_EQ(Finish(), E_ABORT);
    }
}

TEST_F(KsThread, HeapFailuresDuringSetUpLeakNothing)
{
    for (int n = 1; n < 120; n += 3)
    {
        SCOPED_TRACE(n);
        Reset();
        KsSetAllocFailAt(n);
        Start();
        ASSERT_TRUE(Ready());
        const LPARAM l = Finish();
        KsSetAllocFailAt(0);
        EXPECT_TRUE(l == E_ABORT || l == E_FAIL);
    }
}

// A recording through the capture pin, the engine and the render pin comes out
// one ring later at the engine's gain, sample for sample.
TEST_F(KsThread, RecordingComesOutProcessed)
{
    WavAudio wav;
    std::string error;
    ASSERT_TRUE(ReadWavFile(TestDataPath("clean-A2+30c.wav"), &wav, &error)) << error;
    const std::vector<float>& rec = wav.channels[0];
    world.StartClock();
    for (int iChannels : {0, 1})
    {
        SCOPED_TRACE(iChannels ? "stereo" : "mono");
        g_iInputChannels = iChannels;
        // Left: the recording; right: silence.
        std::vector<short> source(2 * rec.size(), 0);
        for (size_t i = 0; i < rec.size(); ++i)
            source[2 * i] = static_cast<short>(rec[i]);
        world.Feed(source);
        s_Exits.clear();
        const size_t nBefore = world.Written().size();
        Start();
        Signal(eRun);
        ASSERT_TRUE(PumpUntil([&] { return world.Written().size() - nBefore >= 2 * 96000; }, 120000));
        EXPECT_EQ(Finish(), E_ABORT);

        // What was played is what was captured one ring earlier, at the engine's
        // gain: frame i of the output (left, right) against x, the recording's.
        const std::vector<short> all = world.Written();
        const size_t lag = static_cast<size_t>(g_iRingBytes / 4), nFrames = (all.size() - nBefore) / 2;
        const auto left = [&](size_t i) { return static_cast<double>(all[nBefore + 2 * i]); };
        const auto right = [&](size_t i) { return static_cast<double>(all[nBefore + 2 * i + 1]); };
        const auto x = [&](size_t i) { return static_cast<double>(rec[(i - lag) % rec.size()]); };
        double dXY = 0, dXX = 0, dRight = 0;
        for (size_t i = lag; i < nFrames; ++i)
        {
            dXY += x(i) * left(i);
            dXX += x(i) * x(i);
            dRight += std::fabs(right(i));
        }
        const double dGain = dXY / dXX;
        EXPECT_GT(dGain, 0.1);
        int iOff = 0;
        for (size_t i = lag; i < nFrames; ++i)
            iOff += (std::fabs(left(i) - dGain * x(i)) > 1.0 + 1e-3 * std::fabs(dGain * x(i))) +
                    (iChannels == 0 && std::fabs(right(i) - left(i)) > 1.0);
        EXPECT_EQ(iOff, 0);
        EXPECT_TRUE(iChannels == 0 || dRight == 0.0);
    }
}

// The program's entry points: the thread at the highest priority, and the device
// names for the Options lists, whose failure is reported once and keeps any later
// thread from repeating it while the program quits.
TEST_F(KsThread, ProgramStartsTheThreadAndListsTheDevices)
{
    m_lWaitsAtStart = world.Waits();
    m_hThread = CreateCaptureThread(m_hCommands);
    ASSERT_NE(m_hThread, nullptr);
    EXPECT_EQ(GetThreadPriority(m_hThread), THREAD_PRIORITY_HIGHEST);
    ASSERT_TRUE(Ready());
    // A restart closes the handle of the thread before it, which has ended, rather
    // than leaking one each time.
    HANDLE hEnded = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), m_hThread, GetCurrentProcess(), &hEnded, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(Finish(), E_ABORT);
    g_hCaptureThread = hEnded;
    m_lWaitsAtStart = world.Waits();
    s_Exits.clear();
    m_hThread = CreateCaptureThread(m_hCommands);
    ASSERT_NE(m_hThread, nullptr);
    DWORD dwFlags = 0;
    EXPECT_FALSE(GetHandleInformation(hEnded, &dwFlags));
    EXPECT_EQ(g_hCaptureThread, nullptr);
    ASSERT_TRUE(Ready());
    EXPECT_EQ(Finish(), E_ABORT);

    world.filters.push_back(SimulatedKsWorld::CaptureDevice("Line"));
    auto entry = std::make_unique<AudioDriverEntry>();
    s_Exits.clear();
    EXPECT_EQ(EnumKsDeviceNames(entry.get(), true), 1);
    EXPECT_EQ(entry->iNumCaptureNames, 2);
    EXPECT_STREQ(entry->aszCaptureNames[1], "Line");
    EXPECT_EQ(entry->iNumRenderNames, 1);
    EXPECT_STREQ(entry->aszRenderNames[0], "Out");
    EXPECT_TRUE(s_Exits.empty());
    EXPECT_TRUE(s_Reports.empty());

    // With another driver to run on, the failure is only logged.
    world.filters.clear();
    EXPECT_EQ(EnumKsDeviceNames(entry.get(), false), 0);
    EXPECT_TRUE(s_Exits.empty());
    EXPECT_TRUE(s_Reports.empty());
    EXPECT_GE(CountLogLines(std::string("EnumKsDeviceNames() ") + kNoRecording.substr(0, kNoRecording.find('\n')) +
                            "  hr = 0x80004005 FAILED"), 1);
    EXPECT_EQ(EnumKsDeviceNames(entry.get(), true), 0);
    ASSERT_EQ(s_Reports.size(), 1u);
    EXPECT_EQ(s_Reports[0], std::make_pair(0, kNoRecording));
    EXPECT_EQ(s_Exits, std::vector<LPARAM>{E_FAIL});
    EXPECT_GE(CountLogLines(std::string("from here: ") + kAsioDownloadAddress + ".  hr = 0x80004005"), 1);
    EXPECT_EQ(CreateCaptureThread(m_hCommands), nullptr);
}

// 'q' while streaming, through the program's window procedure: the quit comes
// only after the audio thread's end report (or, when it does not come in time,
// the forced quit), and shutdown then finds the thread ended. Fifty times, as
// such races show only now and then.
TEST_F(KsThread, QuitKeyWhileStreamingWaitsForTheThread)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MsgProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TqKsQuitWindow";
    RegisterClassA(&wc);
    const HWND hTestWindow = g_hWnd;
    // Its WM_CREATE makes the four command events, as the program's window does.
    g_hWnd = CreateWindowA("TqKsQuitWindow", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(g_hWnd, nullptr);
    // On every way out: no thread left running, the test's own window back.
    struct Cleanup
    {
        HWND hTestWindow;
        ~Cleanup()
        {
            if (g_hCaptureThread)
            {
                ::SetEvent(g_hAudioEvents[eAbort]);
                EXPECT_TRUE(WaitForCaptureThreadEnd(30000));
                ::CloseHandle(g_hCaptureThread);
                g_hCaptureThread = nullptr;
            }
            DestroyWindow(g_hWnd);
            for (void*& h : g_hAudioEvents)
                ::CloseHandle(h), h = nullptr;
            g_hWnd = hTestWindow;
            g_AudioPlatform = saved;
        }
        AudioPlatform saved = g_AudioPlatform;
    } cleanup{hTestWindow};
    // The window procedure asks the driver's back end how quitting goes.
    g_AudioPlatform = WindowsAudioPlatform();
    // The devices are listed, as at start-up (an earlier failed listing keeps the
    // audio thread from starting).
    auto entry = std::make_unique<AudioDriverEntry>();
    ASSERT_EQ(EnumKsDeviceNames(entry.get(), true), 1);
    world.StartClock(5);  // blocks of 256 frames at 48 kHz
    g_iAudioDriver = AUDIO_DRIVER_KS;
    const std::string sQuitLine = "MsgProc() CM_EXIT_THREAD E_ABORT Quitting Application";
    const std::string sForcedLine = "MsgProc() WM_TIMER forcing quit";
    for (int iRun = 0; iRun < 50; ++iRun)
    {
        g_bQuitting = 0;
        const int iQuitsBefore = CountLogLines(sQuitLine) + CountLogLines(sForcedLine);
        const size_t nWritten = world.Written().size();
        g_hCaptureThread = CreateCaptureThread(g_hAudioEvents);
        ASSERT_NE(g_hCaptureThread, nullptr);
        ::SetEvent(g_hAudioEvents[eRun]);
        ASSERT_TRUE(PumpUntil([&] { return world.Written().size() > nWritten; })) << "run " << iRun;
        PostMessageA(g_hWnd, WM_CHAR, 'q', 0);
        bool bQuit = false;
        ASSERT_TRUE(WaitUntil([&] {
            MSG msg;
            while (!bQuit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                if (msg.message == WM_QUIT)
                    bQuit = true;
                else
                    DispatchMessageA(&msg);
            }
            return bQuit;
        })) << "run " << iRun;
        EXPECT_EQ(CountLogLines(sQuitLine) + CountLogLines(sForcedLine), iQuitsBefore + 1)
            << "run " << iRun << ": quit before the end report";
        ASSERT_TRUE(WaitForCaptureThreadEnd(30000)) << "run " << iRun;
        ::CloseHandle(g_hCaptureThread);
        g_hCaptureThread = nullptr;
    }
}

}  // namespace
