// The driver decisions of InitAudio on every row of its table, with the platform's
// actions recorded, and StartAudio by driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "base/Log.h"
#include "engine/DspEngine.h"
#include "tests/TestSupport.h"

namespace {

struct Platform
{
    bool bAsioPresent = false;
    bool bAsioInitOk = true;
    bool bAsioStartOk = true;
    bool bThreadOk = true;
    bool bKsNamesOk = true;
    bool bWasapiInitOk = true;
    bool bWasapiStartOk = true;
    std::vector<std::string> calls;
} g_P;

// The platform's actions, recorded by name in the order they happen.
int Record(const char* szCall, bool bOk)
{
    g_P.calls.push_back(szCall);
    return bOk ? 1 : 0;
}
int FakePresent() { return g_P.bAsioPresent ? 1 : 0; }
int FakeInit() { return Record("asio-init", g_P.bAsioInitOk); }
int FakeStart() { return Record("asio-start", g_P.bAsioStartOk); }
int FakeThread() { return Record("thread", g_P.bThreadOk); }
int FakeKsNames(AudioDriverEntry* pEntry, bool bReportFailure)
{
    pEntry->iNumCaptureNames = 1;
    return Record(bReportFailure ? "ks-names, failure quits" : "ks-names", g_P.bKsNamesOk);
}
int FakeRun() { return Record("run", true); }
void FakeAbort() { Record("abort", true); }
int FakeWasapiNames(AudioDriverEntry*, bool) { return Record("wasapi-names", true); }
void FakeMessage(const char* szText, const char* szCaption)
{
    g_P.calls.push_back(std::string("message ") + szCaption + ": " + szText);
}
void FakeRelease() { Record("asio-release", true); }
const char* FakeFailedStep() { return "createBuffers"; }
int FakeWasapiInit() { return Record("wasapi-init", g_P.bWasapiInitOk); }
int FakeWasapiStart() { return Record("wasapi-start", g_P.bWasapiStartOk); }
void FakeWasapiStop() { Record("wasapi-stop", true); }
void FakeWasapiRelease() { Record("wasapi-release", true); }
const char* FakeWasapiStep() { return "no input device"; }

class StreamControl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Saved = g_AudioPlatform;
        m_iSavedMajor = g_iWindowsMajorVersion;
        g_AudioPlatform = {};
        g_AudioPlatform.aBackends[AUDIO_DRIVER_KS] = {nullptr,  &FakeKsNames, &FakeThread, &FakeRun,
                                                      nullptr,  &FakeAbort,   nullptr,     true};
        g_AudioPlatform.aBackends[AUDIO_DRIVER_ASIO] = {&FakePresent, nullptr,      &FakeInit,       &FakeStart,
                                                        nullptr,      &FakeRelease, &FakeFailedStep, false};
        g_AudioPlatform.aBackends[AUDIO_DRIVER_WASAPI] = {nullptr,         &FakeWasapiNames,   &FakeWasapiInit,
                                                          &FakeWasapiStart, &FakeWasapiStop,   &FakeWasapiRelease,
                                                          &FakeWasapiStep,  false};
        g_AudioPlatform.ShowError = &FakeMessage;
        g_P = Platform();
        g_bAsioPresent = 0;
    }
    void TearDown() override
    {
        g_AudioPlatform = m_Saved;
        g_iWindowsMajorVersion = m_iSavedMajor;
        g_iAudioDriver = g_iConfirmedAudioDriver = AUDIO_DRIVER_ASIO;
        g_bAsioPresent = 0;
    }

    AudioPlatform m_Saved{};
    int m_iSavedMajor = 0;
};

std::string FailedMessage(const char* szDriver, const char* szStep)
{
    return std::string("message ") + kDriverFailedCaption + ": " + DriverFailedMessage(szDriver, szStep);
}
const std::string kAsioFailed = FailedMessage("ASIO4ALL v2", "createBuffers");
// Nothing started on Windows 6 or later: what was tried, and why each failed.
const std::string kNoDriver =
    std::string("message ") + kDriverFailedCaption + ": " + NoDriverStartedMessage(nullptr, "no input device");
const std::string kNeither =
    std::string("message ") + kDriverFailedCaption + ": " + NoDriverStartedMessage("createBuffers", "no input device");

TEST_F(StreamControl, InitAudioFollowsTheDriverTable)
{
    struct Case
    {
        int iMajor;
        bool bPresent, bInitOk, bThreadOk, bWasapiOk;
        int iBefore;
        int iResult, iDriver, iConfirmed;
        std::vector<std::string> calls;
        const char* szLogLine;  // the one line InitAudio writes, or null
    } const cases[] = {
        {5, false, true, true, true, 1, 1, 0, 0, {"thread"}, nullptr},
        {5, false, true, true, true, 0, 1, 0, 0, {"thread"}, nullptr},
        {0, false, true, true, true, 1, 1, 0, 0, {"thread"}, nullptr},  // unknown version counts as old
        {5, true, true, true, true, 0, 1, 0, 1, {"thread"}, nullptr},
        {5, true, true, true, true, 1, 1, 1, 1, {"asio-init"}, nullptr},
        {5, true, false, true, true, 1, 1, 0, 1, {"asio-init", "thread"}, "InitAudio() Asio.Init() FAILED trying WDM KS"},
        {5, true, true, true, true, 2, 1, 2, 1, {}, nullptr},
        // Windows 6 and later: ASIO first where installed, then Windows audio.
        {6, false, true, true, true, 1, 1, 3, 3, {"wasapi-init"}, nullptr},
        {10, false, true, true, true, 0, 1, 3, 3, {"wasapi-init"}, nullptr},
        {6, true, true, true, true, 0, 1, 1, 1, {"asio-init"}, nullptr},
        {6, true, false, true, true, 1, 1, 3, 3, {"asio-init", "wasapi-init"}, "InitAudio() Asio.Init() FAILED trying Windows audio"},
        // Windows audio chosen: it comes first, and an installed ASIO driver after it.
        {6, true, true, true, true, 3, 1, 3, 3, {"wasapi-init"}, nullptr},
        {6, true, true, true, false, 3, 1, 1, 1, {"wasapi-init", "asio-init"}, "InitAudio() Windows audio FAILED trying ASIO"},
        // Nothing starts: one message saying what was tried.
        {6, false, true, true, false, 1, 0, 2, 2, {"wasapi-init", kNoDriver}, "InitAudio() Asio.Init() FAILED no audio drivers in use"},
        {6, true, false, true, false, 1, 0, 2, 1, {"asio-init", "wasapi-init", kNeither}, "InitAudio() Asio.Init() FAILED no audio drivers in use"},
        // A thread that cannot be made is reported where it is made.
        {5, false, true, false, true, 1, 1, 0, 0, {"thread"}, "InitAudio() CreateCaptureThread() FAILED"},
    };
    for (const Case& c : cases)
    {
        SetUp();
        g_iWindowsMajorVersion = c.iMajor;
        g_P.bAsioPresent = c.bPresent;
        g_P.bAsioInitOk = c.bInitOk;
        g_P.bThreadOk = c.bThreadOk;
        g_P.bWasapiInitOk = c.bWasapiOk;
        g_iAudioDriver = c.iBefore;
        g_iConfirmedAudioDriver = 1;
        const int iLogBefore = c.szLogLine ? CountLogLines(c.szLogLine) : 0;
        SCOPED_TRACE("version " + std::to_string(c.iMajor) + (c.bPresent ? " asio" : " no asio") +
                     (c.bInitOk ? "" : " failing") + (c.bThreadOk ? "" : " no thread") + ", driver " +
                     std::to_string(c.iBefore));
        EXPECT_EQ(InitAudio(), c.iResult);
        EXPECT_EQ(g_iAudioDriver, c.iDriver);
        EXPECT_EQ(g_iConfirmedAudioDriver, c.iConfirmed);
        EXPECT_EQ(g_P.calls, c.calls);
        if (c.szLogLine)
        {
            EXPECT_EQ(CountLogLines(c.szLogLine), iLogBefore + 1);
        }
        EXPECT_EQ(g_aiNumSamplingFreqs[0], 9);
        EXPECT_EQ(g_aiNumSamplingFreqs[1], 5);
    }
}

TEST_F(StreamControl, AsioFoundOnceStaysPresent)
{
    g_iWindowsMajorVersion = 6;
    g_P.bAsioPresent = true;
    EXPECT_EQ(InitAudio(), 1);
    g_P.bAsioPresent = false;
    g_P.calls.clear();
    EXPECT_EQ(InitAudio(), 1);
    EXPECT_EQ(g_P.calls, std::vector<std::string>{"asio-init"});
}

TEST_F(StreamControl, StartAudioByDriver)
{
    const struct { int iDriver; bool bStartOk; int iResult; std::vector<std::string> calls; } cases[] = {
        {0, true, 1, {"run"}},
        {1, true, 1, {"asio-start"}},
        {1, false, 0, {"asio-start", FailedMessage("ASIO4ALL v2", "start")}},
        {2, true, 1, {}},
        {3, true, 1, {"wasapi-start"}},
        {3, false, 0, {"wasapi-start", FailedMessage("Windows Audio", "no input device")}},
    };
    for (const auto& c : cases)
    {
        SetUp();
        g_iAudioDriver = c.iDriver;
        g_P.bAsioStartOk = c.bStartOk;
        g_P.bWasapiStartOk = c.bStartOk;
        EXPECT_EQ(StartAudio(), c.iResult) << c.iDriver;
        EXPECT_EQ(g_P.calls, c.calls) << c.iDriver;
    }
    EXPECT_GE(CountLogLines("ASIOStart() FAILED"), 1);
}

TEST_F(StreamControl, DriverListByVersionAndPresence)
{
    // A kernel-streaming listing that fails ends the program only without ASIO;
    // with ASIO it leaves kernel streaming out of the list.
    const struct
    {
        int iMajor;
        bool bPresent;
        bool bKsOk;
        std::vector<std::string> names;
        std::vector<std::string> calls;
    } cases[] = {
        {5, true, true, {"0 WDM KS", "1 Asio4All v2"}, {"ks-names"}},
        {5, true, false, {"1 Asio4All v2"}, {"ks-names"}},
        {5, false, true, {"0 WDM KS"}, {"ks-names, failure quits"}},
        {5, false, false, {"0 WDM KS"}, {"ks-names, failure quits"}},
        // Windows 6 and later: Windows audio, after ASIO where that is installed.
        {6, true, false, {"1 Asio4All v2", "3 Windows Audio"}, {"wasapi-names"}},
        {6, false, true, {"3 Windows Audio"}, {"wasapi-names"}},
    };
    for (const auto& c : cases)
    {
        SetUp();
        g_iWindowsMajorVersion = c.iMajor;
        g_P.bAsioPresent = c.bPresent;
        g_P.bKsNamesOk = c.bKsOk;
        EnumAudioDrivers();
        std::vector<std::string> names;
        for (int i = 0; i < g_iNumAudioDrivers; ++i)
            names.push_back(std::to_string(g_AudioDriverList[i].iType) + " " + g_AudioDriverList[i].szName);
        EXPECT_EQ(names, c.names) << c.iMajor << c.bPresent << c.bKsOk;
        EXPECT_EQ(g_P.calls, c.calls) << c.iMajor << c.bPresent << c.bKsOk;
    }
    EXPECT_GE(CountLogLines("EnumAudioDrivers() kernel streaming not offered: its devices could not be listed; using ASIO"), 1);
}

// A driver that does not start, at start-up or at a restart from Options: one
// message naming it and the step, and the read-out shows no reading (not the last
// one, nor the estimator's starting value).
TEST_F(StreamControl, FailedDriverIsToldOnceAndClearsTheReading)
{
    CDspEngine engine;
    CDspEngine* const pSaved = g_pDspEngine;
    g_pDspEngine = &engine;
    const struct
    {
        const char* szName;
        int iMajor;
        bool bRestart, bInitOk, bStartOk, bThreadOk, bWasapiOk;
        std::string sMessage;  // empty: none, and the reading stays
    } cases[] = {
        {"start-up, init fails", 6, false, false, true, true, false, kNeither},
        {"start-up, start fails", 6, false, true, false, true, false, FailedMessage("ASIO4ALL v2", "start")},
        {"restart, init fails", 10, true, false, true, true, false, kNeither},
        {"restart, start fails", 10, true, true, false, true, false, FailedMessage("ASIO4ALL v2", "start")},
        {"old system, ASIO fails, kernel streaming runs", 5, false, false, true, true, false, ""},
        {"ASIO fails, Windows audio runs", 6, false, false, true, true, true, ""},
        {"restart that works", 6, true, true, true, true, false, ""},
    };
    for (const auto& c : cases)
    {
        SetUp();
        SCOPED_TRACE(c.szName);
        g_iWindowsMajorVersion = c.iMajor;
        g_P.bAsioPresent = true;
        g_P.bAsioInitOk = c.bInitOk;
        g_P.bAsioStartOk = c.bStartOk;
        g_P.bThreadOk = c.bThreadOk;
        g_P.bWasapiInitOk = c.bWasapiOk;
        g_iAudioDriver = AUDIO_DRIVER_ASIO;
        engine.m_Tuner2.m_Tuner.SetMeasured(80.96f);
        engine.m_Tuner2.m_fMeasuredFreq.store(80.96f);
        if (c.bRestart)
            RestartStream(AUDIO_DRIVER_ASIO);
        else
        {
            InitAudio();
            StartAudio();
        }
        std::vector<std::string> messages;
        for (const std::string& s : g_P.calls)
            if (s.rfind("message ", 0) == 0)
                messages.push_back(s);
        EXPECT_EQ(messages, c.sMessage.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.sMessage});
        const float fShown = c.sMessage.empty() ? 80.96f : 0.0f;
        EXPECT_EQ(engine.m_Tuner2.m_Tuner.Measured(), fShown);
        EXPECT_EQ(engine.m_Tuner2.m_fMeasuredFreq.load(), fShown);
    }
    g_pDspEngine = pSaved;
}

} // namespace
