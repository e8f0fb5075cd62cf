#pragma once
// A simulated kernel-streaming world for tests: audio devices with categories and
// aliases, pins with their properties and data ranges, topology nodes, and a
// streaming clock that completes reads from a recording and collects writes.
// Installed in place of Windows through the layer's platform seam.
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "audio/ks/KsPlatform.h"
#include "base/Lock.h"
#include "tests/TestSupport.h"

struct SimRange
{
    ULONG ulChannels = 2;
    ULONG ulMinBits = 16, ulMaxBits = 16;
    ULONG ulMinFreq = 8000, ulMaxFreq = 96000;
    GUID subFormat = kKsSubtypePcm;
};

struct SimPin
{
    ULONG ulFlow = KSPIN_DATAFLOW_OUT;
    ULONG ulComm = KSPIN_COMMUNICATION_SINK;
    std::vector<SimRange> ranges{SimRange{}};
    bool bStandardInterface = true;
    bool bStandardMedium = true;
    DWORD dwCreateError = 0;  // KsCreatePin answers this when non-zero
    bool bCreateAnyFormat = false;  // created whatever its ranges say
};

struct SimFilter
{
    std::string sFriendlyName;
    std::vector<std::pair<GUID, DWORD>> categories;  // category, alias flags
    std::vector<SimPin> pins;  // and two topology nodes
};

// Which request fails on demand.
struct SimFaults
{
    bool bClassDevs = false;         // no device set
    bool bCreateFile = false;        // devices cannot be opened
    ULONG ulPinProperty = ~0u;       // this pin property id fails
    bool bSizeQuery = false;         // list size queries fail
    bool bSizeQueryMoreData = false; // size queries answer ERROR_MORE_DATA
    bool bPropertyPends = false;     // properties complete through the event
    bool bState = false;             // state changes fail
    bool bRead = false, bWrite = false;  // stream requests refused at once
    bool bPendForever = false;       // stream requests never complete
    bool bKsUserMissing = false;     // "ksuser.dll" cannot be loaded
    int iEventFailAt = 0;            // the n-th event creation from now fails
    bool bManualEventFails = false;  // manual-reset events cannot be made
};

class SimulatedKsWorld final : public IKsPlatform
{
public:
    std::vector<SimFilter> filters;
    SimFaults faults;

    SimulatedKsWorld();
    ~SimulatedKsWorld() override;
    SimulatedKsWorld(const SimulatedKsWorld&) = delete;
    SimulatedKsWorld& operator=(const SimulatedKsWorld&) = delete;

    // A capture device (audio + capture) and a render device (audio + render)
    // with one sink pin each, for frequencies lo..hi.
    static SimFilter CaptureDevice(const std::string& name, ULONG lo = 8000, ULONG hi = 96000);
    static SimFilter RenderDevice(const std::string& name, ULONG lo = 8000, ULONG hi = 96000);

    // Interleaved stereo that capture reads loop over, from its start.
    void Feed(const std::vector<short>& samples);

    // The streaming clock: completes one request per running pin and direction
    // every millisecond.
    // iTickMs: the time between ticks; a real device's blocks come every few
    // milliseconds, and a faster clock keeps a slow (emulated) audio thread busy.
    void StartClock(int iTickMs = 1);
    void StopClock();

    // Accounting: handles of every kind still open; pin creations and their
    // connect structures; state changes; written samples; waits.
    int OpenHandles();
    int LoadCount() const { return m_iLoads; }
    std::vector<std::vector<BYTE>> Connects() { return Locked(m_Connects); }
    std::vector<KSSTATE> States() { return Locked(m_States); }
    std::vector<short> Written() { return Locked(m_Written); }
    long Waits() const { return m_lWaits.load(); }
    long StreamRequests() const { return m_lRequests.load(); }
    // How often a wait returned h and its caller came back to wait again: the
    // times the event's wake-up has been dealt with.
    long Handled(HANDLE h);
    // Requests that failed, or never complete, because a stream fault was on.
    long FaultsMet() const { return m_lFaultsMet.load(); }

    // IKsPlatform
    HDEVINFO GetClassDevs(const GUID* pClass, DWORD dwFlags) override;
    BOOL EnumDeviceInterfaces(HDEVINFO hSet, const GUID* pClass, DWORD dwIndex, SP_DEVICE_INTERFACE_DATA* pData) override;
    BOOL GetDeviceInterfaceDetail(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData, SP_DEVICE_INTERFACE_DETAIL_DATA_A* pDetail,
                                  DWORD cbDetail, SP_DEVINFO_DATA* pInfo) override;
    BOOL GetDeviceInterfaceAlias(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData, const GUID* pAlias,
                                 SP_DEVICE_INTERFACE_DATA* pAliasData) override;
    HKEY OpenDeviceInterfaceRegKey(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData, REGSAM access) override;
    LONG QueryValue(HKEY hKey, const char* szName, BYTE* pData, DWORD* pcbData) override;
    LONG CloseKey(HKEY hKey) override;
    BOOL GetDeviceRegistryProperty(HDEVINFO hSet, SP_DEVINFO_DATA* pInfo, DWORD dwProperty, BYTE* pBuffer, DWORD cbBuffer) override;
    BOOL DestroyDeviceInfoList(HDEVINFO hSet) override;
    HANDLE CreateFileA(const char* szPath, DWORD dwAccess, DWORD dwShare, DWORD dwDisposition, DWORD dwFlags) override;
    BOOL DeviceIoControl(HANDLE h, DWORD dwCode, void* pIn, DWORD cbIn, void* pOut, DWORD cbOut, DWORD* pcbReturned,
                         OVERLAPPED* pOv) override;
    DWORD GetLastError() override;
    HMODULE LoadLibraryA(const char* szName) override;
    FARPROC GetProcAddress(HMODULE hModule, const char* szName) override;
    BOOL CloseHandle(HANDLE h) override;
    HANDLE CreateEventA(BOOL bManualReset, BOOL bInitialState) override;
    BOOL SetEvent(HANDLE h) override { return ::SetEvent(h); }
    BOOL ResetEvent(HANDLE h) override { return ::ResetEvent(h); }
    DWORD WaitForSingleObject(HANDLE h, DWORD dwMilliseconds) override { return ::WaitForSingleObject(h, dwMilliseconds); }
    DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL bWaitAll, DWORD dwMilliseconds) override;

    DWORD CreatePin(HANDLE hFilter, const KSPIN_CONNECT* pConnect, HANDLE* phPin);

private:
    enum Kind { kSet, kFile, kPin, kKey };
    struct Object
    {
        Kind kind;
        int iFilter;
    };
    struct Request
    {
        KSSTREAM_HEADER* pHeader;
        OVERLAPPED* pOv;
    };
    struct PinStream
    {
        KSSTATE state = KSSTATE_STOP;
        std::deque<Request> reads, writes;
    };

    HANDLE NewHandle(const Object& o);
    bool Lookup(HANDLE h, Object* pObj);
    BOOL Fail(DWORD dwError);
    BOOL Reply(const void* pData, DWORD cb, void* pOut, DWORD cbOut, DWORD* pcbReturned, bool bList);
    BOOL Property(HANDLE h, const Object& o, const KSPROPERTY* pProp, DWORD cbIn, void* pOut, DWORD cbOut,
                  DWORD* pcbReturned);
    void Tick();
    void CancelAll(PinStream& ps);
    template <class T>
    T Locked(const T& value)
    {
        std::lock_guard<CLock> g(m_Lock);
        return value;
    }

    CLock m_Lock;
    std::map<ULONG_PTR, Object> m_Objects;
    std::map<ULONG_PTR, PinStream> m_Streams;
    std::vector<HANDLE> m_Events;
    ULONG_PTR m_NextHandle = 0x40000000;
    int m_iLoads = 0;
    std::vector<std::vector<BYTE>> m_Connects;
    std::vector<KSSTATE> m_States;
    std::vector<short> m_Written;
    std::vector<short> m_Source;
    size_t m_ReadPos = 0;
    int m_iUnserved = 0;  // reads completed and not yet queued again
    std::atomic<long> m_lWaits{0};
    std::map<HANDLE, long> m_Handled;
    HANDLE m_hLastWoken = nullptr;
    std::atomic<long> m_lFaultsMet{0};
    std::atomic<long> m_lRequests{0};
    TestThreads m_Clock;
};
