#include "drivers/demo-asio/DemoAsioDriver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

const CLSID CLSID_TonquarryDemoAsio = {0x7a3c52e1, 0x4f0b, 0x4c6e, {0x9d, 0x21, 0x5b, 0x8e, 0x0f, 0x6a, 0x9c, 0x34}};
std::atomic<long> g_lDemoAsioObjects{0};

namespace {

// A recording of at most two minutes is kept; the run command may stream for hours.
constexpr double kMaxRecordedSeconds = 120.0;

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
    stop();
    --g_lDemoAsioObjects;
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
    const long n = --m_lRefs;
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

ASIOBool CDemoAsioDriver::init(void*)
{
    m_Settings = ReadDemoAsioSettings(kDemoAsioClsid);
    m_dRate = m_Settings.dRate;
    m_iRateReads = 0;
    if (m_Settings.Fails(kFaultInit))
    {
        CopyText(m_szError, sizeof m_szError, "Demo driver: init refused by its fault switch");
        return ASIOFalse;
    }
    m_Wav = WavAudio();
    std::string sError;
    if (!m_Settings.sWavIn.empty() && !ReadWavFile(m_Settings.sWavIn, &m_Wav, &sError))
        m_Wav = WavAudio();  // plays silence
    m_nWavPos = 0;
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
    if (m_Settings.Fails(kFaultStart) || m_lBlock == 0)
        return ASE_HWMalfunction;
    if (m_hThread)
        return ASE_OK;
    m_bStop = false;
    m_ullPosition = 0;
    m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    return m_hThread ? ASE_OK : ASE_HWMalfunction;
}

ASIOError CDemoAsioDriver::stop()
{
    if (!m_hThread)
        return ASE_OK;
    m_bStop = true;
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    WriteRecording();
    return ASE_OK;
}

ASIOError CDemoAsioDriver::getChannels(long* inputs, long* outputs)
{
    if (m_Settings.Fails(kFaultGetChannels))
        return ASE_NotPresent;
    *inputs = *outputs = kChannels;
    return ASE_OK;
}

ASIOError CDemoAsioDriver::getLatencies(long* input, long* output)
{
    if (m_Settings.Fails(kFaultGetLatencies))
        return ASE_NotPresent;
    *input = *output = m_lBlock ? m_lBlock : kPreferredBlock;
    return ASE_OK;
}

ASIOError CDemoAsioDriver::getBufferSize(long* minSize, long* maxSize, long* preferred, long* granularity)
{
    if (m_Settings.Fails(kFaultGetBufferSize))
        return ASE_NotPresent;
    *minSize = kMinBlock;
    *maxSize = kMaxBlock;
    *preferred = kPreferredBlock;
    *granularity = 1;
    return ASE_OK;
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
    *rate = (iRead == 0 && m_Settings.dFirstRate >= 0.0) ? m_Settings.dFirstRate : m_dRate;
    return ASE_OK;
}

ASIOError CDemoAsioDriver::setSampleRate(ASIOSampleRate rate)
{
    if (m_Settings.Fails(kFaultSetSampleRate) || !Claimed(rate))
        return ASE_NoClock;
    m_dRate = rate;
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
    if (m_Settings.Fails(kFaultGetChannelInfo))
        return ASE_NotPresent;
    if (info->channel < 0 || info->channel >= kChannels)
        return ASE_InvalidParameter;
    const int dir = info->isInput ? 0 : 1;
    info->isActive = m_bActive[dir][info->channel] ? ASIOTrue : ASIOFalse;
    info->channelGroup = 0;
    info->type = ASIOSTInt32LSB;
    const std::string name = std::string(info->isInput ? "Demo In " : "Demo Out ") + std::to_string(info->channel + 1);
    CopyText(info->name, sizeof info->name, name.c_str());
    return ASE_OK;
}

ASIOError CDemoAsioDriver::createBuffers(ASIOBufferInfo* infos, long count, long bufferSize,
                                         ASIOCallbacks* callbacks)
{
    if (m_Settings.Fails(kFaultCreateBuffers))
        return ASE_NoMemory;
    if (!m_bInitialised || !infos || !callbacks || bufferSize < kMinBlock || bufferSize > kMaxBlock)
        return ASE_InvalidMode;
    for (long i = 0; i < count; ++i)
        if (infos[i].channelNum < 0 || infos[i].channelNum >= kChannels)
            return ASE_InvalidParameter;
    disposeBuffers();
    m_lBlock = bufferSize;
    for (long i = 0; i < count; ++i)
    {
        const int dir = infos[i].isInput ? 0 : 1;
        const long ch = infos[i].channelNum;
        m_bActive[dir][ch] = true;
        for (int half = 0; half < 2; ++half)
        {
            m_Buffers[dir][ch][half].assign(static_cast<size_t>(bufferSize), 0);
            infos[i].buffers[half] = m_Buffers[dir][ch][half].data();
        }
    }
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
    stop();
    for (auto& dir : m_Buffers)
        for (auto& ch : dir)
            for (auto& half : ch)
                std::vector<std::int32_t>().swap(half);
    std::memset(m_bActive, 0, sizeof m_bActive);
    m_lBlock = 0;
    return ASE_OK;
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
    static_cast<CDemoAsioDriver*>(pThis)->Stream();
    return 0;
}

void CDemoAsioDriver::Stream()
{
    LARGE_INTEGER freq, t0, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
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
            t.timeInfo.sampleRate = m_dRate;
            getSamplePosition(&t.timeInfo.samplePosition, &t.timeInfo.systemTime);
            t.timeInfo.flags = kSystemTimeValid | kSamplePositionValid | kSampleRateValid | kSpeedValid;
            m_Callbacks.bufferSwitchTimeInfo(&t, half, ASIOTrue);
        }
        else
        {
            m_Callbacks.bufferSwitch(half, ASIOTrue);
        }
        RecordOutputs(half);
        m_ullPosition += static_cast<unsigned long long>(m_lBlock);
        half ^= 1;
        ++blocks;
        if (m_Settings.bRealTime)
        {
            // Sleep until this block's period is over, measured from the start so
            // the pace does not drift.
            const double due = static_cast<double>(blocks) * static_cast<double>(m_lBlock) / m_dRate;
            QueryPerformanceCounter(&now);
            const double elapsed = static_cast<double>(now.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
            if (due > elapsed)
                Sleep(static_cast<DWORD>((due - elapsed) * 1000.0));
        }
    }
}

void CDemoAsioDriver::FillInputs(int half)
{
    const size_t nFrames = m_Wav.NumFrames();
    for (int ch = 0; ch < kChannels; ++ch)
    {
        std::vector<std::int32_t>& buf = m_Buffers[0][ch][half];
        if (buf.empty())
            continue;
        if (nFrames == 0)
        {
            std::fill(buf.begin(), buf.end(), 0);
            continue;
        }
        const std::vector<float>& src = m_Wav.channels[static_cast<size_t>(std::min(ch, m_Wav.NumChannels() - 1))];
        size_t pos = m_nWavPos;
        for (std::int32_t& s : buf)
        {
            const double v = std::nearbyint(static_cast<double>(src[pos]) * m_Settings.fInputGain * 65536.0);
            s = static_cast<std::int32_t>(std::max(-2147483648.0, std::min(2147483647.0, v)));
            if (++pos == nFrames)
                pos = 0;
        }
    }
    if (nFrames)
        m_nWavPos = (m_nWavPos + static_cast<size_t>(m_lBlock)) % nFrames;
}

void CDemoAsioDriver::RecordOutputs(int half)
{
    if (m_Settings.sWavOut.empty() ||
        static_cast<double>(m_Recorded[0].size()) >= kMaxRecordedSeconds * m_dRate)
        return;
    for (int ch = 0; ch < kChannels; ++ch)
    {
        const std::vector<std::int32_t>& buf = m_Buffers[1][ch][half];
        std::vector<float>& rec = m_Recorded[ch];
        if (buf.empty())
            rec.insert(rec.end(), static_cast<size_t>(m_lBlock), 0.0f);
        for (std::int32_t s : buf)
            rec.push_back(static_cast<float>(s) / 65536.0f);
    }
}

void CDemoAsioDriver::WriteRecording()
{
    if (m_Settings.sWavOut.empty() || m_Recorded[0].empty())
        return;
    WavAudio out;
    out.iSampleRate = static_cast<int>(m_dRate);
    out.channels.assign(std::begin(m_Recorded), std::end(m_Recorded));
    std::string sError;
    WriteWavFile(m_Settings.sWavOut, out, WavSampleFormat::Pcm16, &sError);
}
