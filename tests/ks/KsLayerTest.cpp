// The kernel-streaming device layer against the simulated world: enumeration with
// its aliases and names, pins, the format match and pin creation, and the
// accounting of handles and heap blocks after each case.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "audio/ks/audfilter.h"
#include "audio/ks/enum.h"
#include "tests/TestSupport.h"
#include "tests/ks/SimulatedKsWorld.h"

namespace {

WAVEFORMATEX Pcm(DWORD freq, WORD channels = 2, WORD bits = 16, WORD tag = WAVE_FORMAT_PCM)
{
    const WORD align = static_cast<WORD>(channels * bits / 8);
    return WAVEFORMATEX{tag, channels, freq, freq * align, align, bits, 18};
}

const GUID kCaptureCats[2] = {kKsCategoryAudio, kKsCategoryCapture};
const GUID kRenderCats[2] = {kKsCategoryAudio, kKsCategoryRender};

class KsLayer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_iLiveBefore = KsLiveAllocations();
    }
    void TearDown() override
    {
        EXPECT_EQ(world.OpenHandles(), 0);
        EXPECT_EQ(KsLiveAllocations(), m_iLiveBefore);
        KsSetAllocFailAt(0);
    }
    HRESULT Find(CKsEnumFilters& e, ULONG type = eAudCap)
    {
        return e.FindFilters(type, type == eAudRen ? kRenderCats : kCaptureCats, 2, TRUE, TRUE, TRUE);
    }
    SimulatedKsWorld world;
    int m_iLiveBefore = 0;
    HRESULT m_hr = E_FAIL;  // what every enumeration's constructor sets
};

struct EnumCase
{
    const char* szName;
    std::function<void(SimulatedKsWorld&)> setUp;
    ULONG ulType;
    HRESULT hr;
    int iKept;
    int iNames;
};

TEST_F(KsLayer, EnumerationKeepsUsableDevicesAndRecordsTheirNames)
{
    const auto none = [](SimulatedKsWorld&) {};
    const EnumCase cases[] = {
        {"two capture, one render", none, eAudCap, S_OK, 2, 2},
        {"render side", none, eAudRen, S_OK, 1, 1},
        {"alias disabled", [](SimulatedKsWorld& w) { w.filters[0].categories[1].second = 0; }, eAudCap, S_OK, 1, 1},
        {"alias removed", [](SimulatedKsWorld& w) { w.filters[2].categories[1].second |= SPINT_REMOVED; }, eAudCap, S_OK, 1, 1},
        {"no filters", [](SimulatedKsWorld& w) { w.filters.clear(); }, eAudCap, E_FAIL, 0, 0},
        {"no device set", [](SimulatedKsWorld& w) { w.faults.bClassDevs = true; }, eAudCap, E_FAIL, 0, 0},
        {"devices do not open", [](SimulatedKsWorld& w) { w.faults.bCreateFile = true; }, eAudCap, E_FAIL, 0, 0},
        {"pin count fails", [](SimulatedKsWorld& w) { w.faults.ulPinProperty = KSPROPERTY_PIN_CTYPES; }, eAudCap, E_FAIL, 0, 0},
        {"size queries fail", [](SimulatedKsWorld& w) { w.faults.bSizeQuery = true; }, eAudCap, E_FAIL, 0, 0},
        {"size query answers more data", [](SimulatedKsWorld& w) { w.faults.bSizeQueryMoreData = true; }, eAudCap, S_OK, 2, 2},
        {"properties pend", [](SimulatedKsWorld& w) { w.faults.bPropertyPends = true; }, eAudCap, S_OK, 2, 2},
        {"eleven devices", [](SimulatedKsWorld& w) { w.filters.assign(11, SimulatedKsWorld::CaptureDevice("Mic")); }, eAudCap, S_OK, 11, 10},
        {"communication none", [](SimulatedKsWorld& w) { w.filters[0].pins[0].ulComm = KSPIN_COMMUNICATION_NONE; }, eAudCap, S_OK, 1, 1},
        {"no standard interface", [](SimulatedKsWorld& w) { w.filters[0].pins[0].bStandardInterface = false; }, eAudCap, S_OK, 1, 1},
        {"no standard medium", [](SimulatedKsWorld& w) { w.filters[0].pins[0].bStandardMedium = false; }, eAudCap, S_OK, 1, 1},
        {"no audio ranges", [](SimulatedKsWorld& w) { w.filters[0].pins[0].ranges.clear(); }, eAudCap, S_OK, 1, 1},
    };
    for (const EnumCase& c : cases)
    {
        SCOPED_TRACE(c.szName);
        // Two capture devices and a render device between them, unless the case says otherwise.
        world.filters = {SimulatedKsWorld::CaptureDevice("Mic A"), SimulatedKsWorld::RenderDevice("Out B"),
                         SimulatedKsWorld::CaptureDevice("Mic C")};
        world.faults = SimFaults{};
        c.setUp(world);
        g_iNumCaptureDeviceNames = 0;
        g_iNumRenderDeviceNames = 0;
        CKsEnumFilters e(&m_hr);
        EXPECT_EQ(Find(e, c.ulType), c.hr);
        EXPECT_EQ(e.m_listFilters.m_iCount, c.iKept);
        EXPECT_EQ(c.ulType == eAudRen ? g_iNumRenderDeviceNames : g_iNumCaptureDeviceNames, c.iNames);
    }
    // The last case dropped "Mic A": only kept filters are named.
    EXPECT_STREQ(g_szCaptureDeviceNames[0], "Mic C");
    EXPECT_GE(CountLogLines("eAudCap DeviceName =  Mic A"), 1);
    EXPECT_GE(CountLogLines("eAudRen DeviceName =  Out B"), 1);
}

TEST_F(KsLayer, PlainFilterSortsEveryPinKind)
{
    SimFilter f = SimulatedKsWorld::CaptureDevice("Mixed");
    const ULONG kinds[][2] = {{KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK},  {KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SOURCE},
                              {KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_BOTH},  {KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SINK},
                              {KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_BOTH}, {KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_NONE},
                              {KSPIN_DATAFLOW_OUT, 9}};
    f.pins.clear();
    for (const auto& k : kinds)
        f.pins.push_back(SimPin{k[0], k[1]});
    world.filters = {f};
    CKsEnumFilters e(&m_hr);
    ASSERT_EQ(e.FindFilters(0, kCaptureCats, 2, TRUE, TRUE, TRUE), S_OK);
    const CKsFilter& plain = *e.m_listFilters.m_pHead->pItem;
    EXPECT_EQ(plain.m_listPins.m_iCount, 7);
    EXPECT_EQ(plain.m_listRenderSinkPins.m_iCount, 2);
    EXPECT_EQ(plain.m_listRenderSourcePins.m_iCount, 2);
    EXPECT_EQ(plain.m_listCaptureSinkPins.m_iCount, 2);
    EXPECT_EQ(plain.m_listCaptureSourcePins.m_iCount, 1);
    EXPECT_EQ(plain.m_listBridgePins.m_iCount, 1);
    EXPECT_EQ(plain.m_listNodes.m_iCount, 2);

    // The audio filter skips the bridge and the unknown kind and types its pins.
    ASSERT_EQ(Find(e), S_OK);
    const CKsFilter& audio = *e.m_listFilters.m_pHead->pItem;
    EXPECT_EQ(audio.m_listPins.m_iCount, 5);
    EXPECT_EQ(static_cast<CKsPin*>(audio.m_listRenderSinkPins.m_pHead->pItem)->m_nPinType, 1);
    EXPECT_EQ(static_cast<CKsPin*>(audio.m_listCaptureSinkPins.m_pHead->pItem)->m_nPinType, 2);
}

TEST_F(KsLayer, DataRangeMatch)
{
    struct Case
    {
        const char* szName;
        SimRange range;
        WAVEFORMATEX wfx;
        bool bAccepted;
    };
    // Channels, bits from and to, frequencies from and to, subformat.
    const SimRange mono{1}, anyTag{2, 16, 16, 8000, 96000, kKsGuidNull}, low{2, 16, 16, 12000, 12000}, bits24{2, 24, 24};
    const Case cases[] = {
        {"stereo range", SimRange{}, Pcm(48000), true},
        {"mono range refuses stereo", mono, Pcm(48000), false},
        {"mono range takes mono", mono, Pcm(48000, 1), true},
        {"null subformat takes a float tag", anyTag, Pcm(48000, 2, 16, WAVE_FORMAT_IEEE_FLOAT), true},
        {"pcm range refuses a float tag", SimRange{}, Pcm(48000, 2, 16, WAVE_FORMAT_IEEE_FLOAT), false},
        {"above the range", SimRange{}, Pcm(192000), false},
        {"only 12000", low, Pcm(24000), false},
        {"exactly 12000", low, Pcm(12000), true},
        {"24-bit range refuses 16 bits", bits24, Pcm(48000), false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.szName);
        world.filters = {SimulatedKsWorld::CaptureDevice("Mic")};
        world.filters[0].pins[0].ranges = {c.range};
        CKsEnumFilters e(&m_hr);
        ASSERT_EQ(Find(e), S_OK);
        auto* pFilter = static_cast<CKsCaptureFilter*>(e.m_listFilters.m_pHead->pItem);
        EXPECT_EQ(pFilter->FindMatchingCapturePin(&c.wfx) != nullptr, c.bAccepted);
    }
    EXPECT_EQ(g_iRangeMaxSamplingFreq, 12000);
    EXPECT_GE(CountLogLines("CKsAudPin::IsFormatSupported() MaximumSampleFrequency 12000"), 1);
}

TEST_F(KsLayer, CapturePinCreationAndConnectStructure)
{
    world.filters = {SimulatedKsWorld::CaptureDevice("Mic", 96000, 96000)};
    CKsEnumFilters e(&m_hr);
    ASSERT_EQ(Find(e), S_OK);
    auto* pFilter = static_cast<CKsCaptureFilter*>(e.m_listFilters.m_pHead->pItem);
    WAVEFORMATEX wfx = Pcm(48000);
    EXPECT_EQ(pFilter->CreateCapturePin(&wfx, FALSE), nullptr);
    EXPECT_GE(CountLogLines("CreateCapturePin() FAILED Could not find a capture pin that supports this wave format"), 1);
    wfx = Pcm(96000);
    g_hKsUser = nullptr;
    g_pfnKsCreatePin = nullptr;
    CKsAudPin* pPin = pFilter->CreateCapturePin(&wfx, TRUE);
    ASSERT_NE(pPin, nullptr);
    EXPECT_EQ(pPin, pFilter->m_listCaptureSinkPins.m_pHead->pItem);
    EXPECT_EQ(pPin->m_cbPinCreateSize, kKsPinCreatePcm);
    EXPECT_EQ(pPin->m_pksDataFormatWfx->DataFormat.SampleSize, 4u);
    const std::vector<BYTE> sent = world.Connects().back();
    ASSERT_EQ(sent.size(), kKsPinCreatePcm);
    KSPIN_CONNECT connect;
    std::memcpy(&connect, sent.data(), sizeof(connect));
    EXPECT_EQ(connect.Interface.Id, static_cast<ULONG>(KSINTERFACE_STANDARD_LOOPED_STREAMING));
    EXPECT_EQ(connect.Priority.PriorityClass, static_cast<ULONG>(KSPRIORITY_NORMAL));
    KSDATAFORMAT_WAVEFORMATEX format;
    std::memcpy(&format, sent.data() + sizeof(connect), sizeof(format));
    EXPECT_EQ(format.DataFormat.FormatSize, sizeof(KSDATAFORMAT_WAVEFORMATEX));
    EXPECT_EQ(format.WaveFormatEx.nSamplesPerSec, 96000u);

    // A second creation does not load "ksuser.dll" again; states are remembered.
    pPin->Close();
    EXPECT_EQ(pPin->Instantiate(FALSE), S_OK);
    EXPECT_EQ(world.LoadCount(), 1);
    EXPECT_EQ(pPin->SetPinState(KSSTATE_RUN), S_OK);
    EXPECT_EQ(pPin->m_nState, KSSTATE_RUN);
    world.faults.bState = true;
    EXPECT_EQ(pPin->SetPinState(KSSTATE_PAUSE), E_FAIL);
    EXPECT_EQ(pPin->m_nState, KSSTATE_RUN);
    world.faults.bState = false;

    // A non-PCM format with extra bytes grows the connect structure.
    WAVEFORMATEX ext = Pcm(96000, 2, 16, 0x0002);
    ext.cbSize = 22;
    EXPECT_EQ(pPin->SetPinFormat(&ext), S_OK);
    EXPECT_EQ(pPin->m_cbPinCreateSize, kKsPinCreateHead + 40);
    EXPECT_EQ(pPin->m_pksDataFormatWfx->DataFormat.FormatSize, sizeof(KSDATAFORMAT) + 40);
    EXPECT_EQ(pPin->SetPinFormat(nullptr), E_FAIL);
}

TEST_F(KsLayer, RenderPinFallsBackToAnyPinThatCanBeCreated)
{
    struct Case
    {
        const char* szName;
        std::function<void(SimFilter&)> setUp;
        int iPinMade;  // -1: none
        const char* szLog;
    };
    const Case cases[] = {
        {"first pin refuses creation", [](SimFilter& f) { f.pins[0].dwCreateError = ERROR_BUSY; }, 1,
         "CreateRenderPin() FAILED to instantiate render pin"},
        {"no range matches, the pin takes it anyway",
         [](SimFilter& f) {
             f.pins[0].ranges[0].ulMaxFreq = 22050;
             f.pins[1].ranges[0].ulMaxFreq = 22050;
             f.pins[1].bCreateAnyFormat = true;
         },
         1, "CreateRenderPin() FAILED Couldn't find a render pin that supports this wave format"},
        {"nothing can be created",
         [](SimFilter& f) {
             f.pins[0].dwCreateError = ERROR_BUSY;
             f.pins[1].dwCreateError = ERROR_BUSY;
         },
         -1, "CreateRenderPin() FAILED to instantiate render pin"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.szName);
        SimFilter f = SimulatedKsWorld::RenderDevice("Out");
        f.pins.push_back(f.pins[0]);
        c.setUp(f);
        world.filters = {f};
        const int iLogged = CountLogLines(c.szLog);
        CKsEnumFilters e(&m_hr);
        ASSERT_EQ(Find(e, eAudRen), S_OK);
        auto* pFilter = static_cast<CKsRenderFilter*>(e.m_listFilters.m_pHead->pItem);
        const WAVEFORMATEX wfx = Pcm(48000);
        CKsAudPin* pPin = pFilter->CreateRenderPin(&wfx, FALSE);
        EXPECT_EQ(CountLogLines(c.szLog), iLogged + 1);
        if (c.iPinMade < 0)
        {
            EXPECT_EQ(pPin, nullptr);
            continue;
        }
        ASSERT_NE(pPin, nullptr);
        EXPECT_EQ(pPin->m_nId, static_cast<ULONG>(c.iPinMade));
        // Handed out: the filter no longer holds it, the caller deletes it.
        EXPECT_EQ(pFilter->m_listPins.m_iCount, 1);
        EXPECT_EQ(pFilter->m_listRenderSinkPins.m_iCount, 1);
        delete pPin;
    }
}

TEST_F(KsLayer, FailuresOfThePlatformAreReported)
{
    world.filters = {SimulatedKsWorld::CaptureDevice("Mic")};
    CKsEnumFilters e(&m_hr);
    ASSERT_EQ(Find(e), S_OK);
    auto* pFilter = static_cast<CKsCaptureFilter*>(e.m_listFilters.m_pHead->pItem);
    const WAVEFORMATEX wfx = Pcm(48000);
    CKsAudPin* pPin = pFilter->FindMatchingCapturePin(&wfx);
    ASSERT_NE(pPin, nullptr);
    // Close on a pin never created sends nothing.
    pPin->Close();
    EXPECT_TRUE(world.States().empty());
    g_hKsUser = nullptr;
    g_pfnKsCreatePin = nullptr;
    world.faults.bKsUserMissing = true;
    EXPECT_EQ(pPin->Instantiate(FALSE), static_cast<HRESULT>(0x80070002));
    world.faults.bKsUserMissing = false;
    world.filters[0].pins[0].dwCreateError = 0xC0000017;
    EXPECT_EQ(pPin->Instantiate(FALSE), static_cast<HRESULT>(0x80070017));
    EXPECT_EQ(CKsIrpTarget::SyncIoctl(INVALID_HANDLE_VALUE, IOCTL_KS_PROPERTY, nullptr, 0, nullptr, 0, nullptr), E_FAIL);
    world.faults.iEventFailAt = 1;
    ULONG n = 0;
    EXPECT_EQ(pFilter->QueryPinProperty(0, kKsPropSetPin, KSPROPERTY_PIN_CTYPES, &n, sizeof(n)), E_OUTOFMEMORY);
    EXPECT_EQ(pFilter->QueryPinProperty(0, kKsPropSetPin, KSPROPERTY_PIN_CTYPES, &n, sizeof(n)), S_OK);
    EXPECT_EQ(n, 1u);
}

TEST_F(KsLayer, HeapFailuresLeakNothing)
{
    // Every heap request of an enumeration made to fail in turn.
    world.filters = {SimulatedKsWorld::CaptureDevice("Mic A"), SimulatedKsWorld::CaptureDevice("Mic B")};
    for (int n = 1; n < 80; ++n)
    {
        SCOPED_TRACE(n);
        CKsEnumFilters e(&m_hr);
        KsSetAllocFailAt(n);
        Find(e);
        KsSetAllocFailAt(0);
        const WAVEFORMATEX wfx = Pcm(48000);
        for (auto* p = e.m_listFilters.m_pHead; p; p = p->pNext)
            static_cast<CKsCaptureFilter*>(p->pItem)->CreateCapturePin(&wfx, FALSE);
    }
}

}  // namespace
