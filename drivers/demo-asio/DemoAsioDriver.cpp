#include "drivers/demo-asio/DemoAsioDriver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "drivers/demo-asio/DemoAsioSamples.h"

const CLSID CLSID_TonquarryDemoAsio = {0x7a3c52e1, 0x4f0b, 0x4c6e, {0x9d, 0x21, 0x5b, 0x8e, 0x0f, 0x6a, 0x9c, 0x34}};
std::atomic<long> g_lDemoAsioObjects{0};
std::atomic<long> g_lDemoGuardFaults{0};
std::atomic<long> g_lDemoCallsFromCallback{0};
std::atomic<long> g_lDemoRequestsSent{0};
std::atomic<void*> g_pDemoLastInitWindow{nullptr};

namespace {

// A recording of at most two minutes is kept; the run command may stream for hours.
constexpr double kMaxRecordedSeconds = 120.0;
// No device has buffers this large; beyond it a size is an error, not a request.
constexpr unsigned long long kMaxBufferBytes = 1ull << 28;

void CopyText(char* dst, size_t size, const char* src)
{
    std::strncpy(dst, src, size - 1);
    dst[size - 1] = '\0';
}

ASIOSamples SplitCount(unsigned long long v)
{
    ASIOSamples s;
    s.hi = static_cast<unsigned long>(v >> 32);
    s.lo = static_cast<unsigned long>(v & 0xFFFFFFFFu);
    return s;
}

bool Claimed(double rate)
{
    return rate == 44100.0 || rate == 48000.0 || rate == 96000.0;
}

} // namespace

CDemoAsioDriver::CDemoAsioDriver()
{
    ++g_lDemoAsioObjects;
}

CDemoAsioDriver::~CDemoAsioDriver()
{
    StopStream();
    FreeBuffers();
    --g_lDemoAsioObjects;
}

bool CDemoAsioDriver::FromCallback() const
{
    if (GetCurrentThreadId() != m_dwStreamThread.load(std::memory_order_relaxed))
        return false;
    g_lDemoCallsFromCallback.fetch_add(1, std::memory_order_relaxed);
    return true;
}

HRESULT STDMETHODCALLTYPE CDemoAsioDriver::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, CLSID_TonquarryDemoAsio))
    {
        *ppv = static_cast<IAsioDriver*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CDemoAsioDriver::AddRef()
{
    return static_cast<ULONG>(++m_lRefs);
}

ULONG STDMETHODCALLTYPE CDemoAsioDriver::Release()
{
    const bool bOwnThread = FromCallback();
    const long n = --m_lRefs;
    if (n == 0)
    {
        if (bOwnThread)
        {
            // Deleting now would pull the object from under the callback, and the
            // destructor would wait for its own thread: the thread ends it instead.
            m_bEndItself = true;
            m_bStop.store(true, std::memory_order_relaxed);
        }
        else
        {
            delete this;
        }
    }
    return static_cast<ULONG>(n);
}

ASIOBool CDemoAsioDriver::init(void* sysHandle)
{
    g_pDemoLastInitWindow.store(sysHandle, std::memory_order_relaxed);
    if (FromCallback())
    {
        // The stream reads the settings and the recording this would replace.
        CopyText(m_szError, sizeof m_szError, "Demo driver: init called from within a callback");
        return ASIOFalse;
    }
    m_Settings = ReadDemoAsioSettings(kDemoAsioClsid);
    m_dRate.store(m_Settings.dRate, std::memory_order_relaxed);
    m_lPreferred.store(m_Settings.lPreferredSize, std::memory_order_relaxed);
    m_iRateReads = 0;
    m_llResetAfter = m_Settings.llResetAfter;
    m_llSizeChangeAfter = m_Settings.lNewSize > 0 ? m_Settings.llSizeChangeAfter : -1;
    m_llRateChangeAfter = m_Settings.dNewRate > 0.0 ? m_Settings.llRateChangeAfter : -1;
    if (m_Settings.Fails(kFaultInit))
    {
        CopyText(m_szError, sizeof m_szError, "Demo driver: init refused by its fault switch");
        return ASIOFalse;
    }
    m_Wav = WavAudio();
    std::string sError;
    if (!m_Settings.sWavIn.empty() && !ReadWavFile(m_Settings.sWavIn, &m_Wav, &sError))
        m_Wav = WavAudio();  // plays silence
    m_dWavPos = 0.0;
    m_bInitialised = true;
    CopyText(m_szError, sizeof m_szError, "No error");
    return ASIOTrue;
}

void CDemoAsioDriver::getDriverName(char* name)
{
    CopyText(name, 32, kDemoAsioName);
}

long CDemoAsioDriver::getDriverVersion()
{
    return 1;
}

void CDemoAsioDriver::getErrorMessage(char* text)
{
    CopyText(text, 124, m_szError);
}

ASIOError CDemoAsioDriver::start()
{
    if (FromCallback())
        return ASE_InvalidMode;
    if (m_Settings.Fails(kFaultStart) || m_lBlock == 0)
        return ASE_HWMalfunction;
    if (m_hThread)
        return ASE_OK;
    m_bStop = false;
    m_ullPosition = 0;
    // Suspended until its handle is kept: a host may release the driver from the
    // very first callback, and the thread then closes that handle itself.
    m_hThread = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, nullptr);
    if (!m_hThread)
        return ASE_HWMalfunction;
    ResumeThread(m_hThread);
    return ASE_OK;
}

ASIOError CDemoAsioDriver::stop()
{
    // Stopping from the stream's own thread would wait for itself.
    if (FromCallback())
        return ASE_InvalidMode;
    StopStream();
    return ASE_OK;
}

void CDemoAsioDriver::StopStream()
{
    if (!m_hThread)
        return;
    m_bStop = true;
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    WriteRecording();
}

ASIOError CDemoAsioDriver::getChannels(long* inputs, long* outputs)
{
    FromCallback();
    if (m_Settings.Fails(kFaultGetChannels))
        return ASE_NotPresent;
    *inputs = *outputs = kChannels;
    return ASE_OK;
}

ASIOError CDemoAsioDriver::getLatencies(long* input, long* output)
{
    FromCallback();
    if (m_Settings.Fails(kFaultGetLatencies))
        return ASE_NotPresent;
    *input = *output = m_lBlock ? m_lBlock : m_lPreferred.load(std::memory_order_relaxed);
    return ASE_OK;
}

ASIOError CDemoAsioDriver::getBufferSize(long* minSize, long* maxSize, long* preferred, long* granularity)
{
    FromCallback();
    if (m_Settings.Fails(kFaultGetBufferSize))
        return ASE_NotPresent;
    *minSize = m_Settings.lMinSize;
    *maxSize = m_Settings.lMaxSize;
    *preferred = m_lPreferred.load(std::memory_order_relaxed);
    *granularity = m_Settings.lGranularity;
    return ASE_OK;
}

bool CDemoAsioDriver::SizeAllowed(long size) const
{
    const long lMin = m_Settings.lMinSize;
    const long lMax = m_Settings.lMaxSize;
    const long lGranularity = m_Settings.lGranularity;
    if (size < 1 || size < lMin || size > lMax)
        return false;
    if (lMin == lMax || lGranularity == 0 || lGranularity < -1)
        return size == m_lPreferred.load(std::memory_order_relaxed);
    if (lGranularity == -1)
        return (size & (size - 1)) == 0;
    return size % lGranularity == 0;
}

ASIOError CDemoAsioDriver::canSampleRate(ASIOSampleRate rate)
{
    return Claimed(rate) ? ASE_OK : ASE_NoClock;
}

ASIOError CDemoAsioDriver::getSampleRate(ASIOSampleRate* rate)
{
    const int iRead = m_iRateReads++;
    if (m_Settings.Fails(kFaultGetSampleRate) || (iRead > 0 && m_Settings.Fails(kFaultGetSampleRateAgain)))
        return ASE_HWMalfunction;
    *rate = (iRead == 0 && m_Settings.dFirstRate >= 0.0) ? m_Settings.dFirstRate : m_dRate.load(std::memory_order_relaxed);
    return ASE_OK;
}

ASIOError CDemoAsioDriver::setSampleRate(ASIOSampleRate rate)
{
    FromCallback();
    if (m_Settings.Fails(kFaultSetSampleRate) || !Claimed(rate))
        return ASE_NoClock;
    m_dRate.store(rate, std::memory_order_relaxed);
    return ASE_OK;
}

ASIOError CDemoAsioDriver::getClockSources(ASIOClockSource* clocks, long* count)
{
    if (!clocks || !count || *count < 1)
        return ASE_InvalidParameter;
    std::memset(clocks, 0, sizeof *clocks);
    clocks->associatedChannel = -1;
    clocks->associatedGroup = -1;
    clocks->isCurrentSource = ASIOTrue;
    CopyText(clocks->name, sizeof clocks->name, "Internal");
    *count = 1;
    return ASE_OK;
}

ASIOError CDemoAsioDriver::setClockSource(long index)
{
    return index == 0 ? ASE_OK : ASE_InvalidParameter;
}

ASIOError CDemoAsioDriver::getSamplePosition(ASIOSamples* position, ASIOTimeStamp* time)
{
    *position = SplitCount(m_ullPosition.load());
    *time = SplitCount(static_cast<unsigned long long>(timeGetTime()) * 1000000ull);
    return ASE_OK;
}

ASIOError CDemoAsioDriver::getChannelInfo(ASIOChannelInfo* info)
{
    FromCallback();
    if (m_Settings.Fails(kFaultGetChannelInfo))
        return ASE_NotPresent;
    if (info->channel < 0 || info->channel >= kChannels)
        return ASE_InvalidParameter;
    const int dir = info->isInput ? 0 : 1;
    info->isActive = m_bActive[dir][info->channel] ? ASIOTrue : ASIOFalse;
    info->channelGroup = 0;
    info->type = m_Settings.lSampleType;
    const std::string name = std::string(info->isInput ? "Demo In " : "Demo Out ") + std::to_string(info->channel + 1);
    CopyText(info->name, sizeof info->name, name.c_str());
    return ASE_OK;
}

ASIOError CDemoAsioDriver::createBuffers(ASIOBufferInfo* infos, long count, long bufferSize,
                                         ASIOCallbacks* callbacks)
{
    if (FromCallback())
        return ASE_InvalidMode;
    if (m_Settings.Fails(kFaultCreateBuffers))
        return ASE_NoMemory;
    if (!m_bInitialised || !infos || !callbacks || !SizeAllowed(bufferSize) ||
        (m_Settings.Fails(kFaultCreateBuffersUnlessPreferred) &&
         bufferSize != m_lPreferred.load(std::memory_order_relaxed)))
        return ASE_InvalidMode;
    // A channel named twice would get a second buffer and leave the first pointer
    // handed out dangling.
    bool bNamed[2][kChannels] = {};
    for (long i = 0; i < count; ++i)
    {
        const long ch = infos[i].channelNum;
        if (ch < 0 || ch >= kChannels || bNamed[infos[i].isInput ? 0 : 1][ch])
            return ASE_InvalidParameter;
        bNamed[infos[i].isInput ? 0 : 1][ch] = true;
    }
    StopStream();
    FreeBuffers();
    const long lType = m_Settings.lSampleType;
    const unsigned long long ullBytes =
        static_cast<unsigned long long>(DemoSampleBytes(lType)) * static_cast<unsigned long long>(bufferSize);
    if (ullBytes == 0 || ullBytes > kMaxBufferBytes)
        return ASE_NoMemory;
    m_lType = lType;
    m_nSampleBytes = static_cast<size_t>(DemoSampleBytes(lType));
    for (long i = 0; i < count; ++i)
    {
        const int dir = infos[i].isInput ? 0 : 1;
        const long ch = infos[i].channelNum;
        for (int half = 0; half < 2; ++half)
        {
            if (!m_Buffers[dir][ch][half].Allocate(static_cast<size_t>(ullBytes)))
            {
                FreeBuffers();
                for (long k = 0; k < count; ++k)
                    infos[k].buffers[0] = infos[k].buffers[1] = nullptr;
                return ASE_NoMemory;
            }
            infos[i].buffers[half] = m_Buffers[dir][ch][half].Data();
        }
        m_bActive[dir][ch] = true;
    }
    m_lBlock = bufferSize;
    m_Callbacks = *callbacks;
    // The usual questions; time information is used when the host answers yes.
    m_bTimeInfo = false;
    if (m_Callbacks.asioMessage)
    {
        if (m_Callbacks.asioMessage(kAsioSelectorSupported, kAsioEngineVersion, nullptr, nullptr) == 1)
            m_Callbacks.asioMessage(kAsioEngineVersion, 0, nullptr, nullptr);
        m_Callbacks.asioMessage(kAsioSelectorSupported, kAsioResetRequest, nullptr, nullptr);
        m_bTimeInfo = m_Callbacks.asioMessage(kAsioSupportsTimeInfo, 0, nullptr, nullptr) == 1 &&
                      m_Callbacks.bufferSwitchTimeInfo && !m_Settings.Fails(kFaultTimeInfo);
    }
    for (auto& r : m_Recorded)
        r.clear();
    return ASE_OK;
}

ASIOError CDemoAsioDriver::disposeBuffers()
{
    // The callback that asks is still using them.
    if (FromCallback())
        return ASE_InvalidMode;
    StopStream();
    FreeBuffers();
    return ASE_OK;
}

void CDemoAsioDriver::FreeBuffers()
{
    CheckFronts();
    for (auto& dir : m_Buffers)
        for (auto& ch : dir)
            for (auto& half : ch)
                half.Free();
    std::memset(m_bActive, 0, sizeof m_bActive);
    m_lBlock = 0;
}

ASIOError CDemoAsioDriver::controlPanel()
{
    return ASE_OK;
}

ASIOError CDemoAsioDriver::future(long, void*)
{
    return ASE_InvalidParameter;
}

ASIOError CDemoAsioDriver::outputReady()
{
    return m_Settings.Fails(kFaultOutputReady) ? ASE_NotPresent : ASE_OK;
}

// ---------------------------------------------------------------------------
// Streaming.

DWORD WINAPI CDemoAsioDriver::ThreadProc(void* pThis)
{
    CDemoAsioDriver* const p = static_cast<CDemoAsioDriver*>(pThis);
    p->Stream();
    if (!p->m_bEndItself)
        return 0;
    // Released from its own callback: no one is left to wait for this thread, so
    // it ends the object, keeping the DLL loaded until it has left the DLL's code.
    HMODULE hSelf = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&g_lDemoAsioObjects), &hSelf);
    CloseHandle(p->m_hThread);
    p->m_hThread = nullptr;
    p->WriteRecording();
    delete p;
    if (hSelf)
        FreeLibraryAndExitThread(hSelf, 0);
    return 0;
}

void CDemoAsioDriver::Stream()
{
    m_dwStreamThread.store(GetCurrentThreadId(), std::memory_order_relaxed);
    LARGE_INTEGER freq, t0, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    double dDue = 0.0;  // seconds from the start when the next block is due
    unsigned long long blocks = 0;
    int half = 0;
    while (!m_bStop.load())
    {
        FillInputs(half);
        if (m_bTimeInfo)
        {
            ASIOTime t;
            std::memset(&t, 0, sizeof t);
            t.timeInfo.speed = 1.0;
            t.timeInfo.sampleRate = m_dRate.load(std::memory_order_relaxed);
            getSamplePosition(&t.timeInfo.samplePosition, &t.timeInfo.systemTime);
            t.timeInfo.flags = kSystemTimeValid | kSamplePositionValid | kSampleRateValid | kSpeedValid;
            m_Callbacks.bufferSwitchTimeInfo(&t, half, ASIOTrue);
        }
        else
        {
            m_Callbacks.bufferSwitch(half, ASIOTrue);
        }
        CheckFronts();
        RecordOutputs(half);
        m_ullPosition += static_cast<unsigned long long>(m_lBlock);
        half ^= 1;
        ++blocks;
        if (!m_bStop.load())
            SendRequests(blocks);
        const double dRate = m_dRate.load(std::memory_order_relaxed);
        if (m_Settings.bRealTime && dRate > 0.0)
        {
            // Sleep until this block's period is over, measured from the start so
            // the pace does not drift; summed block by block, since the rate may
            // change while streaming.
            dDue += static_cast<double>(m_lBlock) / dRate;
            QueryPerformanceCounter(&now);
            const double elapsed = static_cast<double>(now.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
            if (dDue > elapsed)
                Sleep(static_cast<DWORD>((dDue - elapsed) * 1000.0));
        }
    }
    m_dwStreamThread.store(0, std::memory_order_relaxed);
}

// What a driver does after the user changed its control panel: the new setting is
// stored first (the host reloads the driver to follow it, and the trigger must be
// gone by then), then the host is told.
void CDemoAsioDriver::SendRequests(unsigned long long blocks)
{
    const long long n = static_cast<long long>(blocks);
    // A request is due once: its trigger is forgotten here and in the registry.
    const auto due = [&](long long& llAfter, const char* szTrigger) {
        if (llAfter < 0 || n < llAfter)
            return false;
        llAfter = -1;
        DeleteDemoAsioValue(m_Settings, szTrigger);
        return true;
    };
    // Sent through the host's asioMessage, when it has one, and counted.
    const auto ask = [&](long selector, long value) {
        if (!m_Callbacks.asioMessage)
            return;
        g_lDemoRequestsSent.fetch_add(1, std::memory_order_relaxed);
        m_Callbacks.asioMessage(selector, value, nullptr, nullptr);
    };
    if (due(m_llResetAfter, "ResetAfterBlocks"))
        ask(kAsioResetRequest, 0);
    if (due(m_llSizeChangeAfter, "SizeChangeAfterBlocks"))
    {
        const long lSize = m_Settings.lNewSize;
        m_lPreferred.store(lSize, std::memory_order_relaxed);
        WriteDemoAsioNumber(m_Settings, "PreferredSize", static_cast<unsigned long>(lSize));
        ask(kAsioBufferSizeChange, lSize);
    }
    if (due(m_llRateChangeAfter, "RateChangeAfterBlocks"))
    {
        const double dRate = m_Settings.dNewRate;
        m_dRate.store(dRate, std::memory_order_relaxed);
        WriteDemoAsioNumber(m_Settings, "Rate", static_cast<unsigned long>(dRate));
        if (m_Callbacks.sampleRateDidChange)
        {
            g_lDemoRequestsSent.fetch_add(1, std::memory_order_relaxed);
            m_Callbacks.sampleRateDidChange(dRate);
        }
    }
}

// The recording at the clock's rate: read at a fractional position, between two
// frames by a straight line, so a note keeps its pitch whatever rate the host set.
void CDemoAsioDriver::FillInputs(int half)
{
    const size_t nFrames = m_Wav.NumFrames();
    const double dRate = m_dRate.load(std::memory_order_relaxed);
    const double dStep =
        (nFrames && m_Wav.iSampleRate > 0 && dRate > 0.0) ? static_cast<double>(m_Wav.iSampleRate) / dRate : 1.0;
    unsigned char* pDst[kChannels];
    const float* pSrc[kChannels] = {};
    for (int ch = 0; ch < kChannels; ++ch)
    {
        pDst[ch] = m_Buffers[0][ch][half].Data();
        if (nFrames)
            pSrc[ch] = m_Wav.channels[static_cast<size_t>(std::min(ch, m_Wav.NumChannels() - 1))].data();
    }
    const double dGain = m_Settings.fInputGain;
    double pos = m_dWavPos;
    for (long i = 0; i < m_lBlock; ++i)
    {
        const size_t i0 = static_cast<size_t>(pos);
        const size_t i1 = i0 + 1 >= nFrames ? 0 : i0 + 1;
        const double frac = pos - static_cast<double>(i0);
        for (int ch = 0; ch < kChannels; ++ch)
        {
            if (!pDst[ch])
                continue;
            double v = 0.0;
            if (nFrames)
            {
                const double a = pSrc[ch][i0];
                v = (a + frac * (static_cast<double>(pSrc[ch][i1]) - a)) * dGain;
            }
            EncodeDemoSample(m_lType, v, pDst[ch] + static_cast<size_t>(i) * m_nSampleBytes);
        }
        if (nFrames)
        {
            pos += dStep;
            if (pos >= static_cast<double>(nFrames))
                pos = std::fmod(pos, static_cast<double>(nFrames));
        }
    }
    m_dWavPos = pos;
}

void CDemoAsioDriver::CheckFronts()
{
    size_t nDamaged = 0;
    for (auto& dir : m_Buffers)
        for (auto& ch : dir)
            for (auto& half : ch)
                nDamaged += half.CheckFront();
    if (nDamaged)
        g_lDemoGuardFaults.fetch_add(static_cast<long>(nDamaged), std::memory_order_relaxed);
}

void CDemoAsioDriver::RecordOutputs(int half)
{
    if (m_Settings.sWavOut.empty() ||
        static_cast<double>(m_Recorded[0].size()) >= kMaxRecordedSeconds * m_dRate.load(std::memory_order_relaxed))
        return;
    for (int ch = 0; ch < kChannels; ++ch)
    {
        const unsigned char* p = m_Buffers[1][ch][half].Data();
        std::vector<float>& rec = m_Recorded[ch];
        if (!p)
        {
            rec.insert(rec.end(), static_cast<size_t>(m_lBlock), 0.0f);
            continue;
        }
        for (long i = 0; i < m_lBlock; ++i)
            rec.push_back(static_cast<float>(DecodeDemoSample(m_lType, p + static_cast<size_t>(i) * m_nSampleBytes)));
    }
}

void CDemoAsioDriver::WriteRecording()
{
    if (m_Settings.sWavOut.empty() || m_Recorded[0].empty())
        return;
    WavAudio out;
    out.iSampleRate = static_cast<int>(m_dRate.load(std::memory_order_relaxed));
    out.channels.assign(std::begin(m_Recorded), std::end(m_Recorded));
    std::string sError;
    WriteWavFile(m_Settings.sWavOut, out, WavSampleFormat::Pcm16, &sError);
}
