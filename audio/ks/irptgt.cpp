#include "audio/ks/irptgt.h"

#include <cstring>

#include "audio/ks/KsPlatform.h"

HRESULT CKsIrpTarget::SyncIoctl(HANDLE h, ULONG ulCode, void* pIn, ULONG cbIn, void* pOut, ULONG cbOut, ULONG* pcbReturned)
{
    if (!IsValidHandle(h))
    {
        KsDebug(1, "CKsIrpTarget::SyncIoctl Invalid Handle");
        return E_FAIL;
    }
    ULONG ulLocal = 0;
    if (!pcbReturned)
        pcbReturned = &ulLocal;
    IKsPlatform& os = KsPlatform();
    OVERLAPPED ov;
    std::memset(&ov, 0, sizeof(ov));
    ov.hEvent = os.CreateEventA(FALSE, FALSE);
    if (!ov.hEvent)
    {
        KsDebug(1, "CKsIrpTarget::SyncIoctl CreateEvent failed");
        return E_OUTOFMEMORY;
    }
    // The low bit keeps the completion off any completion port.
    HANDLE hEvent = ov.hEvent;
    ov.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(hEvent) | 1);

    HRESULT hr = S_OK;
    DWORD dwReturned = 0;
    if (os.DeviceIoControl(h, ulCode, pIn, cbIn, pOut, cbOut, &dwReturned, &ov))
    {
        *pcbReturned = dwReturned;
    }
    else
    {
        const DWORD dwError = os.GetLastError();
        if (dwError == ERROR_IO_PENDING)
        {
            const DWORD dwWait = os.WaitForSingleObject(hEvent, INFINITE);
            if (dwWait != WAIT_OBJECT_0)
            {
                hr = E_FAIL;
                KsDebug(1, "CKsIrpTarget::SyncIoctl WaitForSingleObject failed dwWait:0x%08x", static_cast<unsigned>(dwWait));
            }
            *pcbReturned = 0;
        }
        else if ((dwError == ERROR_INSUFFICIENT_BUFFER || dwError == ERROR_MORE_DATA) && ulCode == IOCTL_KS_PROPERTY && cbOut == 0)
        {
            *pcbReturned = dwReturned;
        }
        else
        {
            hr = E_FAIL;
            *pcbReturned = 0;
        }
    }
    os.CloseHandle(hEvent);
    KS_TRACE(hr);
    return hr;
}

HRESULT CKsIrpTarget::QueryList(HANDLE h, void* pProperty, ULONG cbProperty, KSMULTIPLE_ITEM** ppItem)
{
    *ppItem = nullptr;
    ULONG cbNeeded = 0;
    HRESULT hr = SyncIoctl(h, IOCTL_KS_PROPERTY, pProperty, cbProperty, nullptr, 0, &cbNeeded);
    if (FAILED(hr) || cbNeeded == 0)
        return FAILED(hr) ? hr : E_FAIL;
    auto* pItem = static_cast<KSMULTIPLE_ITEM*>(KsAlloc(cbNeeded));
    if (!pItem)
        return E_OUTOFMEMORY;
    std::memset(pItem, 0, cbNeeded);
    hr = SyncIoctl(h, IOCTL_KS_PROPERTY, pProperty, cbProperty, pItem, cbNeeded, nullptr);
    // A list shorter than its own header, or claiming more than was sent, is refused
    // (a request that completed later reports no byte count, so the header decides).
    if (SUCCEEDED(hr) && (cbNeeded < sizeof(KSMULTIPLE_ITEM) || pItem->Size > cbNeeded || pItem->Size < sizeof(KSMULTIPLE_ITEM)))
        hr = E_FAIL;
    if (FAILED(hr))
    {
        KsFree(pItem);
        return hr;
    }
    *ppItem = pItem;
    return S_OK;
}

HRESULT CKsIrpTarget::QueryPropertyList(const GUID& set, ULONG ulId, KSMULTIPLE_ITEM** ppItem)
{
    KSPROPERTY prop;
    std::memset(&prop, 0, sizeof(prop));
    prop.Set = set;
    prop.Id = ulId;
    prop.Flags = KSPROPERTY_TYPE_GET;
    return QueryList(m_handle, &prop, sizeof(prop), ppItem);
}

HRESULT CKsIrpTarget::SetProperty(const GUID& set, ULONG ulId, void* pValue, ULONG cbValue, void* pExtra, ULONG cbExtra)
{
    const ULONG cbIn = sizeof(KSPROPERTY) + cbExtra;
    auto* pProp = static_cast<KSPROPERTY*>(KsAlloc(cbIn));
    if (!pProp)
        return E_OUTOFMEMORY;
    std::memset(pProp, 0, sizeof(KSPROPERTY));
    pProp->Set = set;
    pProp->Id = ulId;
    pProp->Flags = KSPROPERTY_TYPE_SET;
    if (pExtra && cbExtra)
        std::memcpy(pProp + 1, pExtra, cbExtra);
    const HRESULT hr = SyncIoctl(m_handle, IOCTL_KS_PROPERTY, pProp, cbIn, pValue, cbValue, nullptr);
    KsFree(pProp);
    return hr;
}

BOOL CKsIrpTarget::Close()
{
    if (!IsValidHandle(m_handle))
        return TRUE;
    const BOOL b = KsPlatform().CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    return b;
}
