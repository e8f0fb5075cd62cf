#include "audio/ks/pin.h"

#include <cstring>

#include "audio/ks/KsPlatform.h"
#include "audio/ks/filter.h"

int g_iRangeMaxSamplingFreq = 0;
HMODULE g_hKsUser = nullptr;
FARPROC g_pfnKsCreatePin = nullptr;

namespace {

// The items of a property list: the count and the first item behind the header.
template <class T>
void ListItems(KSMULTIPLE_ITEM* pList, ULONG* pCount, T** ppFirst)
{
    *pCount = pList ? pList->Count : 0;
    *ppFirst = pList ? reinterpret_cast<T*>(pList + 1) : nullptr;
}

}  // namespace

CKsPin::CKsPin(CKsFilter* pFilter, ULONG ulId, HRESULT* phr) : m_pFilter(pFilter), m_nId(ulId)
{
    m_szName[0] = '\0';
    const GUID& pin = kKsPropSetPin;
    const int id = static_cast<int>(ulId);
    // Missing properties stay zero; they never fail the pin.
    if (FAILED(pFilter->QueryPinProperty(ulId, pin, KSPROPERTY_PIN_COMMUNICATION, &m_nCommunication, sizeof(ULONG))))
        KsDebug(3, "Failed to retrieve pin property KSPROPERTY_PIN_COMMUNICATION on PinID: %d", id);
    if (FAILED(pFilter->QueryPinPropertyList(ulId, pin, KSPROPERTY_PIN_INTERFACES, &m_pksInterfaces)))
        KsDebug(3, "Failed to retrieve pin property KSPROPETY_PIN_INTERFACES on PinID: %d", id);
    ListItems(m_pksInterfaces, &m_cInterfaces, &m_pInterfaces);
    if (FAILED(pFilter->QueryPinPropertyList(ulId, pin, KSPROPERTY_PIN_MEDIUMS, &m_pksMediums)))
        KsDebug(3, "Failed to retrieve pin property KSPROPERTY_PIN_MEDIUMS on PinID: %d", id);
    ListItems(m_pksMediums, &m_cMediums, &m_pMediums);
    if (FAILED(pFilter->QueryPinPropertyList(ulId, pin, KSPROPERTY_PIN_DATARANGES, &m_pksDataRanges)))
        KsDebug(3, "Failed to retrieve pin property KSPROPERTY_PIN_DATARANGES on PinID: %d", id);
    ListItems(m_pksDataRanges, &m_cDataRanges, &m_pDataRanges);
    if (FAILED(pFilter->QueryPinProperty(ulId, pin, KSPROPERTY_PIN_DATAFLOW, &m_nDataFlow, sizeof(ULONG))))
        KsDebug(3, "Failed to retrieve pin property KSPROPERTY_PIN_DATAFLOW on PinID: %d", id);
    if (FAILED(pFilter->QueryPinProperty(ulId, pin, KSPROPERTY_PIN_CINSTANCES, &m_cInstances, sizeof(m_cInstances))))
        KsDebug(3, "Failed to retrieve pin property KSPROPERTY_PIN_CINSTANCES on PinID: %d", id);
    if (FAILED(pFilter->QueryPinProperty(ulId, pin, KSPROPERTY_PIN_GLOBALCINSTANCES, &m_cGlobalInstances, sizeof(m_cGlobalInstances))))
        KsDebug(3, "Failed to retrieve pin property KSPROPERTY_PIN_GLOBALCINSTANCES on PinID: %d", id);
    if (FAILED(pFilter->QueryPinProperty(ulId, pin, KSPROPERTY_PIN_CATEGORY, &m_guidCategory, sizeof(GUID))))
        KsDebug(3, "Failed to retrieve pin property KSPROPERTY_PIN_CATEGORY on PinID: %d", id);
    if (FAILED(pFilter->QueryPinProperty(ulId, pin, KSPROPERTY_PIN_NAME, m_szName, MAX_PATH - 1)))
        KsDebug(3, "Failed to retrieve pin property KSPROPERTY_PIN_NAME on PinID: %d", id);
    m_szName[MAX_PATH - 1] = '\0';
    *phr = S_OK;
}

CKsPin::~CKsPin()
{
    Close();
    KsFree(m_pksPinCreate);
    KsFree(m_pksInterfaces);
    KsFree(m_pksMediums);
    KsFree(m_pksDataRanges);
}

HRESULT CKsPin::Instantiate(BOOL bLooped)
{
    if (!m_pksPinCreate)
        return E_FAIL;
    m_bLooped = bLooped;
    m_pksPinCreate->Interface.Id = bLooped ? KSINTERFACE_STANDARD_LOOPED_STREAMING : KSINTERFACE_STANDARD_STREAMING;
    if (m_pLinkPin)
        m_pksPinCreate->PinToHandle = m_pLinkPin->m_handle;
    IKsPlatform& os = KsPlatform();
    if (!g_pfnKsCreatePin)
    {
        if (!g_hKsUser)
            g_hKsUser = os.LoadLibraryA("ksuser.dll");
        if (g_hKsUser)
            g_pfnKsCreatePin = os.GetProcAddress(g_hKsUser, "KsCreatePin");
        if (!g_pfnKsCreatePin)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    auto pfnCreate = reinterpret_cast<KsCreatePinFn>(reinterpret_cast<void*>(g_pfnKsCreatePin));
    HANDLE hPin = nullptr;
    const DWORD r = pfnCreate(m_pFilter->m_handle, m_pksPinCreate, GENERIC_READ | GENERIC_WRITE, &hPin);
    if (r != 0)
    {
        const HRESULT hr = static_cast<HRESULT>(0x80070000u | (r & 0xFFFFu));
        KsDebug(1, "Failed to instantiate pin. hr=0x%08x", static_cast<unsigned>(hr));
        return hr;
    }
    m_handle = hPin;
    KS_TRACE(S_OK);
    return S_OK;
}

HRESULT CKsPin::SetPinState(KSSTATE state)
{
    const HRESULT hr = SetProperty(kKsPropSetConnection, KSPROPERTY_CONNECTION_STATE, &state, sizeof(state), nullptr, 0);
    if (FAILED(hr))
        KsDebug(1, "Failed to Set Pin State");
    else
        m_nState = state;
    return hr;
}

void CKsPin::Close()
{
    if (!IsValidHandle(m_handle))
        return;
    SetPinState(KSSTATE_STOP);
    CKsIrpTarget::Close();
}

HRESULT CKsPin::Stream(ULONG ulCode, KSSTREAM_HEADER* pHeader, OVERLAPPED* pOv, const char* szError)
{
    IKsPlatform& os = KsPlatform();
    if (os.DeviceIoControl(m_handle, ulCode, nullptr, 0, pHeader, pHeader->Size, nullptr, pOv))
        return S_OK;
    const DWORD dwError = os.GetLastError();
    if (dwError == ERROR_IO_PENDING)
        return S_OK;
    KsDebug(1, szError, static_cast<unsigned>(dwError));
    return E_FAIL;
}

HRESULT CKsPin::ReadData(KSSTREAM_HEADER* pHeader, OVERLAPPED* pOv)
{
    return Stream(IOCTL_KS_READ_STREAM, pHeader, pOv, "DeviceIoControl Failed!  Error=0x%08x");
}

HRESULT CKsPin::WriteData(KSSTREAM_HEADER* pHeader, OVERLAPPED* pOv)
{
    return Stream(IOCTL_KS_WRITE_STREAM, pHeader, pOv, "CKsPin::WriteData's DeviceIoControl Failed!  Error=0x%#08x");
}
