#include "tests/ks/SimulatedKsWorld.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

thread_local DWORD t_dwLastError = 0;
SimulatedKsWorld* s_pWorld = nullptr;
const HMODULE kKsUser = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x3F000000));

DWORD WINAPI SimKsCreatePin(HANDLE hFilter, KSPIN_CONNECT* pConnect, ACCESS_MASK, HANDLE* phPin)
{
    return s_pWorld->CreatePin(hFilter, pConnect, phPin);
}

template <class T>
std::vector<BYTE> ListOf(const std::vector<T>& items)
{
    std::vector<BYTE> v(sizeof(KSMULTIPLE_ITEM) + items.size() * sizeof(T));
    auto* pHead = reinterpret_cast<KSMULTIPLE_ITEM*>(v.data());
    pHead->Size = static_cast<ULONG>(v.size());
    pHead->Count = static_cast<ULONG>(items.size());
    if (!items.empty())
        std::memcpy(v.data() + sizeof(KSMULTIPLE_ITEM), items.data(), items.size() * sizeof(T));
    return v;
}

std::string DevicePath(int i) { return "\\\\?\\sim#ks#" + std::to_string(i); }

}  // namespace

SimulatedKsWorld::SimulatedKsWorld()
{
    s_pWorld = this;
    SetKsPlatform(this);
}

SimulatedKsWorld::~SimulatedKsWorld()
{
    StopClock();
    SetKsPlatform(nullptr);
    s_pWorld = nullptr;
    for (HANDLE h : m_Events)
        ::CloseHandle(h);
}

SimFilter SimulatedKsWorld::CaptureDevice(const std::string& name, ULONG lo, ULONG hi)
{
    SimPin pin;
    pin.ranges[0].ulMinFreq = lo;
    pin.ranges[0].ulMaxFreq = hi;
    return SimFilter{name, {{kKsCategoryAudio, SPINT_ACTIVE}, {kKsCategoryCapture, SPINT_ACTIVE}}, {pin}};
}

SimFilter SimulatedKsWorld::RenderDevice(const std::string& name, ULONG lo, ULONG hi)
{
    SimFilter f = CaptureDevice(name, lo, hi);
    f.categories[1].first = kKsCategoryRender;
    f.pins[0].ulFlow = KSPIN_DATAFLOW_IN;
    return f;
}

HANDLE SimulatedKsWorld::NewHandle(const Object& o)
{
    std::lock_guard<CLock> g(m_Lock);
    m_NextHandle += 0x10;
    m_Objects[m_NextHandle] = o;
    return reinterpret_cast<HANDLE>(m_NextHandle);
}

bool SimulatedKsWorld::Lookup(HANDLE h, Object* pObj)
{
    std::lock_guard<CLock> g(m_Lock);
    auto it = m_Objects.find(reinterpret_cast<ULONG_PTR>(h));
    if (it == m_Objects.end())
        return false;
    *pObj = it->second;
    return true;
}

BOOL SimulatedKsWorld::Fail(DWORD dwError)
{
    t_dwLastError = dwError;
    return FALSE;
}

int SimulatedKsWorld::OpenHandles()
{
    std::lock_guard<CLock> g(m_Lock);
    return static_cast<int>(m_Objects.size() + m_Events.size());
}

// SetupAPI ------------------------------------------------------------------

HDEVINFO SimulatedKsWorld::GetClassDevs(const GUID*, DWORD)
{
    return faults.bClassDevs ? INVALID_HANDLE_VALUE : NewHandle({kSet, 0});
}

// The present interfaces of the class asked for, in the order of the filters.
BOOL SimulatedKsWorld::EnumDeviceInterfaces(HDEVINFO, const GUID* pClass, DWORD dwIndex, SP_DEVICE_INTERFACE_DATA* pData)
{
    for (size_t i = 0; i < filters.size(); ++i)
        for (const auto& c : filters[i].categories)
            if (KsGuidEqual(c.first, *pClass) && !(c.second & SPINT_REMOVED) && dwIndex-- == 0)
            {
                pData->Flags = SPINT_ACTIVE;
                pData->Reserved = i;
                return TRUE;
            }
    return Fail(ERROR_NO_MORE_ITEMS);
}

BOOL SimulatedKsWorld::GetDeviceInterfaceDetail(HDEVINFO, SP_DEVICE_INTERFACE_DATA* pData, SP_DEVICE_INTERFACE_DETAIL_DATA_A* pDetail,
                                                DWORD cbDetail, SP_DEVINFO_DATA* pInfo)
{
    const std::string path = DevicePath(static_cast<int>(pData->Reserved));
    if (pDetail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || cbDetail < sizeof(DWORD) + path.size() + 1)
        return Fail(ERROR_INVALID_USER_BUFFER);
    std::memcpy(pDetail->DevicePath, path.c_str(), path.size() + 1);
    pInfo->Reserved = pData->Reserved;
    return TRUE;
}

BOOL SimulatedKsWorld::GetDeviceInterfaceAlias(HDEVINFO, SP_DEVICE_INTERFACE_DATA* pData, const GUID* pAlias,
                                               SP_DEVICE_INTERFACE_DATA* pAliasData)
{
    for (const auto& c : filters[pData->Reserved].categories)
        if (KsGuidEqual(c.first, *pAlias))
        {
            pAliasData->Flags = c.second;
            return TRUE;
        }
    return Fail(ERROR_NO_SUCH_INTERFACE_DEVICE);
}

HKEY SimulatedKsWorld::OpenDeviceInterfaceRegKey(HDEVINFO, SP_DEVICE_INTERFACE_DATA* pData, REGSAM)
{
    return reinterpret_cast<HKEY>(NewHandle({kKey, static_cast<int>(pData->Reserved)}));
}

LONG SimulatedKsWorld::QueryValue(HKEY hKey, const char* szName, BYTE* pData, DWORD* pcbData)
{
    Object o;
    if (!Lookup(hKey, &o) || std::strcmp(szName, "FriendlyName") != 0)
        return ERROR_FILE_NOT_FOUND;
    const std::string s = "Interface " + filters[static_cast<size_t>(o.iFilter)].sFriendlyName;
    if (*pcbData < s.size() + 1)
        return ERROR_MORE_DATA;
    std::memcpy(pData, s.c_str(), s.size() + 1);
    *pcbData = static_cast<DWORD>(s.size() + 1);
    return ERROR_SUCCESS;
}

LONG SimulatedKsWorld::CloseKey(HKEY hKey) { return CloseHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

BOOL SimulatedKsWorld::GetDeviceRegistryProperty(HDEVINFO, SP_DEVINFO_DATA* pInfo, DWORD dwProperty, BYTE* pBuffer, DWORD cbBuffer)
{
    const std::string& s = filters[pInfo->Reserved].sFriendlyName;
    if (dwProperty != SPDRP_FRIENDLYNAME || s.empty())
        return Fail(ERROR_INVALID_DATA);
    if (cbBuffer < s.size() + 1)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(pBuffer, s.c_str(), s.size() + 1);
    return TRUE;
}

BOOL SimulatedKsWorld::DestroyDeviceInfoList(HDEVINFO hSet) { return CloseHandle(hSet); }

// Devices ---------------------------------------------------------------------

HANDLE SimulatedKsWorld::CreateFileA(const char* szPath, DWORD, DWORD, DWORD, DWORD dwFlags)
{
    for (size_t i = 0; i < filters.size(); ++i)
        if (DevicePath(static_cast<int>(i)) == szPath && !faults.bCreateFile && (dwFlags & FILE_FLAG_OVERLAPPED))
            return NewHandle({kFile, static_cast<int>(i)});
    t_dwLastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
}

BOOL SimulatedKsWorld::Reply(const void* pData, DWORD cb, void* pOut, DWORD cbOut, DWORD* pcbReturned, bool bList)
{
    *pcbReturned = cb;
    if (bList && cbOut == 0)
    {
        if (faults.bSizeQuery)
            return Fail(ERROR_GEN_FAILURE);
        return Fail(faults.bSizeQueryMoreData ? ERROR_MORE_DATA : ERROR_INSUFFICIENT_BUFFER);
    }
    if (cbOut < cb)
    {
        *pcbReturned = 0;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(pOut, pData, cb);
    return TRUE;
}

BOOL SimulatedKsWorld::Property(HANDLE h, const Object& o, const KSPROPERTY* pProp, DWORD cbIn, void* pOut, DWORD cbOut,
                                DWORD* pcbReturned)
{
    const SimFilter& f = filters[static_cast<size_t>(o.iFilter)];
    if (o.kind == kPin && KsGuidEqual(pProp->Set, kKsPropSetConnection) && pProp->Id == KSPROPERTY_CONNECTION_STATE &&
        pProp->Flags == KSPROPERTY_TYPE_SET && cbOut == sizeof(KSSTATE))
    {
        if (faults.bState)
        {
            m_lFaultsMet.fetch_add(1);
            return Fail(ERROR_GEN_FAILURE);
        }
        std::lock_guard<CLock> g(m_Lock);
        PinStream& ps = m_Streams[reinterpret_cast<ULONG_PTR>(h)];
        ps.state = *static_cast<KSSTATE*>(pOut);
        m_States.push_back(ps.state);
        if (ps.state == KSSTATE_STOP)
            CancelAll(ps);
        return TRUE;
    }
    if (o.kind == kFile && KsGuidEqual(pProp->Set, kKsPropSetTopology) && pProp->Id == KSPROPERTY_TOPOLOGY_NODES)
    {
        const std::vector<BYTE> v = ListOf(std::vector<GUID>(2, kKsCategoryAudio));
        return Reply(v.data(), static_cast<DWORD>(v.size()), pOut, cbOut, pcbReturned, true);
    }
    if (o.kind != kFile || !KsGuidEqual(pProp->Set, kKsPropSetPin) || cbIn < sizeof(KSP_PIN))
        return Fail(ERROR_NOT_FOUND);
    const ULONG id = reinterpret_cast<const KSP_PIN*>(pProp)->PinId;
    if (pProp->Id == faults.ulPinProperty)
        return Fail(ERROR_GEN_FAILURE);
    if (pProp->Id == KSPROPERTY_PIN_CTYPES)
    {
        const ULONG n = static_cast<ULONG>(f.pins.size());
        return Reply(&n, sizeof(n), pOut, cbOut, pcbReturned, false);
    }
    if (id >= f.pins.size())
        return Fail(ERROR_NOT_FOUND);
    const SimPin& p = f.pins[id];
    const KSPIN_CINSTANCES instances = {1, 0};  // one instance possible, none made
    std::vector<BYTE> v;
    switch (pProp->Id)
    {
    case KSPROPERTY_PIN_COMMUNICATION:
        return Reply(&p.ulComm, sizeof(ULONG), pOut, cbOut, pcbReturned, false);
    case KSPROPERTY_PIN_DATAFLOW:
        return Reply(&p.ulFlow, sizeof(ULONG), pOut, cbOut, pcbReturned, false);
    case KSPROPERTY_PIN_CINSTANCES:
    case KSPROPERTY_PIN_GLOBALCINSTANCES:
        return Reply(&instances, sizeof(instances), pOut, cbOut, pcbReturned, false);
    case KSPROPERTY_PIN_CATEGORY:
        return Reply(&kKsGuidNull, sizeof(GUID), pOut, cbOut, pcbReturned, false);
    case KSPROPERTY_PIN_INTERFACES:
    case KSPROPERTY_PIN_MEDIUMS:
    {
        const bool bIf = pProp->Id == KSPROPERTY_PIN_INTERFACES;
        KSIDENTIFIER ident = {};
        ident.Set = bIf ? kKsInterfaceSetStandard : kKsMediumSetStandard;
        ident.Id = (bIf ? p.bStandardInterface : p.bStandardMedium) ? 0 : 7;
        v = ListOf(std::vector<KSIDENTIFIER>{ident});
        break;
    }
    case KSPROPERTY_PIN_DATARANGES:
    {
        std::vector<KSDATARANGE_AUDIO> ranges;
        for (const SimRange& r : p.ranges)
        {
            KSDATARANGE_AUDIO a = {};
            a.DataRange.FormatSize = sizeof(a);
            a.DataRange.MajorFormat = kKsTypeAudio;
            a.DataRange.SubFormat = r.subFormat;
            a.DataRange.Specifier = kKsSpecifierWfx;
            a.MaximumChannels = r.ulChannels;
            a.MinimumBitsPerSample = r.ulMinBits;
            a.MaximumBitsPerSample = r.ulMaxBits;
            a.MinimumSampleFrequency = r.ulMinFreq;
            a.MaximumSampleFrequency = r.ulMaxFreq;
            ranges.push_back(a);
        }
        v = ListOf(ranges);
        break;
    }
    case KSPROPERTY_PIN_NAME:
        return Reply(L"Pin", sizeof(L"Pin"), pOut, cbOut, pcbReturned, false);
    default:
        return Fail(ERROR_NOT_FOUND);
    }
    return Reply(v.data(), static_cast<DWORD>(v.size()), pOut, cbOut, pcbReturned, true);
}

BOOL SimulatedKsWorld::DeviceIoControl(HANDLE h, DWORD dwCode, void* pIn, DWORD cbIn, void* pOut, DWORD cbOut, DWORD* pcbReturned,
                                       OVERLAPPED* pOv)
{
    Object o;
    DWORD dwLocal = 0;
    if (!pcbReturned)
        pcbReturned = &dwLocal;
    if (!Lookup(h, &o) || !pOv)
        return Fail(ERROR_INVALID_HANDLE);
    HANDLE hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(pOv->hEvent) & ~static_cast<ULONG_PTR>(1));
    if (dwCode == IOCTL_KS_PROPERTY)
    {
        if (cbIn < sizeof(KSPROPERTY))
            return Fail(ERROR_INVALID_PARAMETER);
        const BOOL b = Property(h, o, static_cast<const KSPROPERTY*>(pIn), cbIn, pOut, cbOut, pcbReturned);
        if (b && faults.bPropertyPends)
        {
            ::SetEvent(hEvent);
            return Fail(ERROR_IO_PENDING);
        }
        return b;
    }
    if (o.kind != kPin || (dwCode != IOCTL_KS_READ_STREAM && dwCode != IOCTL_KS_WRITE_STREAM) || cbOut < sizeof(KSSTREAM_HEADER))
        return Fail(ERROR_INVALID_PARAMETER);
    const bool bRead = dwCode == IOCTL_KS_READ_STREAM;
    if (bRead ? faults.bRead : faults.bWrite)
    {
        m_lFaultsMet.fetch_add(1);
        return Fail(ERROR_GEN_FAILURE);
    }
    m_lRequests.fetch_add(1);
    // As Windows does when it queues an overlapped request.
    ::ResetEvent(hEvent);
    std::lock_guard<CLock> g(m_Lock);
    if (faults.bPendForever)
        m_lFaultsMet.fetch_add(1);
    else
    {
        PinStream& ps = m_Streams[reinterpret_cast<ULONG_PTR>(h)];
        (bRead ? ps.reads : ps.writes).push_back({static_cast<KSSTREAM_HEADER*>(pOut), pOv});
        if (bRead && m_iUnserved > 0)
            --m_iUnserved;
    }
    return Fail(ERROR_IO_PENDING);
}

DWORD SimulatedKsWorld::GetLastError() { return t_dwLastError; }

HMODULE SimulatedKsWorld::LoadLibraryA(const char* szName)
{
    ++m_iLoads;
    if (faults.bKsUserMissing || std::strcmp(szName, "ksuser.dll") != 0)
        return nullptr;
    return kKsUser;
}

FARPROC SimulatedKsWorld::GetProcAddress(HMODULE hModule, const char* szName)
{
    if (hModule != kKsUser || std::strcmp(szName, "KsCreatePin") != 0)
        return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&SimKsCreatePin));
}

DWORD SimulatedKsWorld::CreatePin(HANDLE hFilter, const KSPIN_CONNECT* pConnect, HANDLE* phPin)
{
    Object o;
    if (!Lookup(hFilter, &o) || o.kind != kFile)
        return ERROR_INVALID_HANDLE;
    SimFilter& f = filters[static_cast<size_t>(o.iFilter)];
    if (pConnect->PinId >= f.pins.size())
        return ERROR_NOT_FOUND;
    const SimPin& p = f.pins[pConnect->PinId];
    const auto* pFormat = reinterpret_cast<const KSDATAFORMAT_WAVEFORMATEX*>(pConnect + 1);
    {
        std::lock_guard<CLock> g(m_Lock);
        const auto* b = reinterpret_cast<const BYTE*>(pConnect);
        m_Connects.emplace_back(b, b + sizeof(KSPIN_CONNECT) + pFormat->DataFormat.FormatSize);
    }
    if (p.dwCreateError)
        return p.dwCreateError;
    // A device creates the pin only for a format one of its ranges holds.
    const WAVEFORMATEX& w = pFormat->WaveFormatEx;
    const bool bFits = std::any_of(p.ranges.begin(), p.ranges.end(), [&](const SimRange& r) {
        return w.nChannels <= r.ulChannels && w.wBitsPerSample >= r.ulMinBits && w.wBitsPerSample <= r.ulMaxBits &&
               w.nSamplesPerSec >= r.ulMinFreq && w.nSamplesPerSec <= r.ulMaxFreq;
    });
    if (!bFits && !p.bCreateAnyFormat)
        return ERROR_NO_MATCH;
    *phPin = NewHandle({kPin, o.iFilter});
    return 0;
}

BOOL SimulatedKsWorld::CloseHandle(HANDLE h)
{
    std::lock_guard<CLock> g(m_Lock);
    const ULONG_PTR key = reinterpret_cast<ULONG_PTR>(h);
    auto it = m_Objects.find(key);
    if (it != m_Objects.end())
    {
        auto st = m_Streams.find(key);
        if (st != m_Streams.end())
        {
            CancelAll(st->second);
            m_Streams.erase(st);
        }
        m_Objects.erase(it);
        return TRUE;
    }
    auto ev = std::find(m_Events.begin(), m_Events.end(), h);
    if (ev == m_Events.end())
        return Fail(ERROR_INVALID_HANDLE);
    m_Events.erase(ev);
    return ::CloseHandle(h);
}

// Events, waits and the clock ---------------------------------------------------

HANDLE SimulatedKsWorld::CreateEventA(BOOL bManualReset, BOOL bInitialState)
{
    std::lock_guard<CLock> g(m_Lock);
    if ((faults.iEventFailAt > 0 && --faults.iEventFailAt == 0) || (bManualReset && faults.bManualEventFails))
        return nullptr;
    HANDLE h = ::CreateEventA(nullptr, bManualReset, bInitialState, nullptr);
    m_Events.push_back(h);
    return h;
}

void SimulatedKsWorld::CancelAll(PinStream& ps)
{
    for (auto* q : {&ps.reads, &ps.writes})
    {
        for (const Request& r : *q)
            ::SetEvent(r.pOv->hEvent);
        q->clear();
    }
    m_iUnserved = 0;
}

void SimulatedKsWorld::Tick()
{
    // One sample clock drives both directions: a read and a write complete together,
    // as on a full-duplex device.
    std::lock_guard<CLock> g(m_Lock);
    PinStream* pRead = nullptr;
    PinStream* pWrite = nullptr;
    for (auto& entry : m_Streams)
    {
        PinStream& ps = entry.second;
        if (ps.state != KSSTATE_RUN)
            continue;
        if (!pRead && !ps.reads.empty())
            pRead = &ps;
        if (!pWrite && !ps.writes.empty())
            pWrite = &ps;
    }
    // The clock never runs ahead of the reader: a packet completes only once the
    // thread has queued again the one before. A faster device would starve the
    // thread's commands on a slow (emulated) machine, as packets outrank them.
    if (!pRead || !pWrite || m_iUnserved > 0)
        return;
    ++m_iUnserved;
    const Request r = pRead->reads.front();
    pRead->reads.pop_front();
    auto* pData = static_cast<short*>(r.pHeader->Data);
    const size_t n = r.pHeader->FrameExtent / 2;
    for (size_t i = 0; i < n; ++i)
        pData[i] = m_Source.empty() ? 0 : m_Source[(m_ReadPos + i) % m_Source.size()];
    m_ReadPos += n;
    r.pHeader->DataUsed = r.pHeader->FrameExtent;
    ::SetEvent(r.pOv->hEvent);

    const Request w = pWrite->writes.front();
    pWrite->writes.pop_front();
    const auto* pOut = static_cast<const short*>(w.pHeader->Data);
    m_Written.insert(m_Written.end(), pOut, pOut + w.pHeader->DataUsed / 2);
    ::SetEvent(w.pOv->hEvent);
}

DWORD SimulatedKsWorld::WaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL bWaitAll, DWORD dwMilliseconds)
{
    m_lWaits.fetch_add(1);
    {
        std::lock_guard<CLock> g(m_Lock);
        if (m_hLastWoken)
            ++m_Handled[m_hLastWoken];
        m_hLastWoken = nullptr;
    }
    const DWORD dw = ::WaitForMultipleObjects(nCount, pHandles, bWaitAll, dwMilliseconds);
    if (dw - WAIT_OBJECT_0 < nCount)
    {
        std::lock_guard<CLock> g(m_Lock);
        m_hLastWoken = pHandles[dw - WAIT_OBJECT_0];
    }
    return dw;
}

long SimulatedKsWorld::Handled(HANDLE h)
{
    std::lock_guard<CLock> g(m_Lock);
    const auto it = m_Handled.find(h);
    return it == m_Handled.end() ? 0 : it->second;
}

void SimulatedKsWorld::Feed(const std::vector<short>& samples)
{
    std::lock_guard<CLock> g(m_Lock);
    m_Source = samples;
    m_ReadPos = 0;
}

void SimulatedKsWorld::StartClock(int iTickMs)
{
    m_Clock.Start([this, iTickMs] {
        while (m_Clock.Running())
        {
            Tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(iTickMs));
        }
    });
}

void SimulatedKsWorld::StopClock()
{
    m_Clock.StopAndJoin();
}
