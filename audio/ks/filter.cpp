#include "audio/ks/filter.h"

#include <cstdio>
#include <cstring>

#include "audio/ks/KsPlatform.h"
#include "audio/ks/pin.h"

CKsFilter::CKsFilter(const char* szPath, HRESULT* phr)
{
    m_szFriendlyName[0] = '\0';
    m_szFilterName[0] = '\0';
    if (!szPath)
    {
        KsDebug(1, "pszName cannot be NULL");
        *phr = E_INVALIDARG;
        return;
    }
    std::snprintf(m_szFilterName, sizeof(m_szFilterName), "%s", szPath);
    *phr = S_OK;
}

CKsFilter::~CKsFilter()
{
    CKsFilter::ClearLists();
    Close();
}

HRESULT CKsFilter::Instantiate()
{
    IKsPlatform& os = KsPlatform();
    m_handle = os.CreateFileA(m_szFilterName, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED);
    if (!IsValidHandle(m_handle))
    {
        m_handle = INVALID_HANDLE_VALUE;
        KsDebug(1, "CKsFilter::Instantiate: CreateFile failed for device %s.  ErrorCode = 0x%08x", m_szFilterName,
                static_cast<unsigned>(os.GetLastError()));
        return E_FAIL;
    }
    KS_TRACE(S_OK);
    return S_OK;
}

HRESULT CKsFilter::BuildNodeList()
{
    while (CKsNode* p = m_listNodes.RemoveHead())
        delete p;
    KSMULTIPLE_ITEM* pItem = nullptr;
    HRESULT hr = QueryPropertyList(kKsPropSetTopology, KSPROPERTY_TOPOLOGY_NODES, &pItem);
    if (FAILED(hr))
    {
        KsDebug(1, "Failed to get property KSPROPSETID_Topology.KSPROPERTY_TOPOLOGY_NODES");
        return hr;
    }
    // Count no more GUIDs than the buffer holds.
    ULONG ulCount = pItem->Count;
    const ULONG ulRoom = (pItem->Size - sizeof(KSMULTIPLE_ITEM)) / sizeof(GUID);
    if (ulCount > ulRoom)
        ulCount = ulRoom;
    const GUID* pTypes = reinterpret_cast<const GUID*>(pItem + 1);
    for (ULONG i = 0; i < ulCount; ++i)
    {
        CKsNode* pNode = KsNew<CKsNode>(i, pTypes[i]);
        if (pNode && !m_listNodes.AddTail(pNode))
            delete pNode;
    }
    if (static_cast<ULONG>(m_listNodes.m_iCount) != pItem->Count)
    {
        hr = E_FAIL;
        while (CKsNode* p = m_listNodes.RemoveHead())
            delete p;
    }
    KsFree(pItem);
    KS_TRACE(hr);
    return hr;
}

HRESULT CKsFilter::PinCount(ULONG* pulCount)
{
    *pulCount = 0;
    return QueryPinProperty(0, kKsPropSetPin, KSPROPERTY_PIN_CTYPES, pulCount, sizeof(ULONG));
}

HRESULT CKsFilter::BuildPinList()
{
    ULONG ulPins = 0;
    HRESULT hr = PinCount(&ulPins);
    if (FAILED(hr))
    {
        KsDebug(1, "Failed to retrieve count of pins in audio filter");
        ulPins = 0;
    }
    for (ULONG id = 0; id < ulPins; ++id)
    {
        HRESULT hrPin = S_OK;
        CKsPin* pPin = KsNew<CKsPin>(this, id, &hrPin);
        if (!pPin)
        {
            KsDebug(1, "Failed to create pin");
            DeletePins();
            return E_OUTOFMEMORY;
        }
        if (FAILED(hrPin))
        {
            KsDebug(1, "Failed to construct pin");
            delete pPin;
        }
        else if (!m_listPins.AddTail(pPin))
        {
            KsDebug(1, "Failed to add pin to list");
            delete pPin;
        }
    }
    hr = SortPins();
    if (SUCCEEDED(hr) && m_listRenderSinkPins.Empty() && m_listCaptureSourcePins.Empty() && m_listCaptureSinkPins.Empty() &&
        m_listRenderSourcePins.Empty() && m_listBridgePins.Empty())
    {
        KsDebug(1, "Filter is not viable. It has no pins.");
        hr = E_FAIL;
    }
    KS_TRACE(hr);
    return hr;
}

namespace {

// The request that reads one property of one pin.
KSP_PIN PinPropertyRequest(ULONG ulPinId, const GUID& set, ULONG ulId)
{
    KSP_PIN prop;
    std::memset(&prop, 0, sizeof(prop));
    prop.Property.Set = set;
    prop.Property.Id = ulId;
    prop.Property.Flags = KSPROPERTY_TYPE_GET;
    prop.PinId = ulPinId;
    return prop;
}

} // namespace

HRESULT CKsFilter::QueryPinProperty(ULONG ulPinId, const GUID& set, ULONG ulId, void* pValue, ULONG cbValue)
{
    KSP_PIN prop = PinPropertyRequest(ulPinId, set, ulId);
    return SyncIoctl(m_handle, IOCTL_KS_PROPERTY, &prop, sizeof(prop), pValue, cbValue, nullptr);
}

HRESULT CKsFilter::QueryPinPropertyList(ULONG ulPinId, const GUID& set, ULONG ulId, KSMULTIPLE_ITEM** ppItem)
{
    KSP_PIN prop = PinPropertyRequest(ulPinId, set, ulId);
    return QueryList(m_handle, &prop, sizeof(prop), ppItem);
}

HRESULT CKsFilter::SortPins()
{
    for (auto* e = m_listPins.m_pHead; e; e = e->pNext)
    {
        CKsPin* pPin = e->pItem;
        const ULONG flow = pPin->GetDataFlow();
        const ULONG comm = pPin->GetCommunication();
        CKsList<CKsPin>* apLists[2] = {nullptr, nullptr};
        if (comm == KSPIN_COMMUNICATION_NONE)
            apLists[0] = &m_listBridgePins;
        else if (comm < KSPIN_COMMUNICATION_SINK || comm > KSPIN_COMMUNICATION_BOTH)
        {
            KsDebug(1, "Pin communication type not recognized");
            continue;
        }
        else if (flow == KSPIN_DATAFLOW_IN)
        {
            if (comm != KSPIN_COMMUNICATION_SOURCE)
                apLists[0] = &m_listRenderSinkPins;
            if (comm != KSPIN_COMMUNICATION_SINK)
                apLists[1] = &m_listRenderSourcePins;
        }
        else if (flow == KSPIN_DATAFLOW_OUT)
        {
            if (comm != KSPIN_COMMUNICATION_SOURCE)
                apLists[0] = &m_listCaptureSinkPins;
            if (comm != KSPIN_COMMUNICATION_SINK)
                apLists[1] = &m_listCaptureSourcePins;
        }
        for (CKsList<CKsPin>* pList : apLists)
            if (pList && !pList->AddTail(pPin))
                return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CKsFilter::DeletePins()
{
    m_listRenderSinkPins.Clear();
    m_listCaptureSourcePins.Clear();
    m_listCaptureSinkPins.Clear();
    m_listRenderSourcePins.Clear();
    m_listBridgePins.Clear();
    while (CKsPin* p = m_listPins.RemoveHead())
        delete p;
}

void CKsFilter::ClearLists()
{
    while (CKsNode* p = m_listNodes.RemoveHead())
        delete p;
    DeletePins();
}
