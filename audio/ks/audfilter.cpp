#include "audio/ks/audfilter.h"

#include "base/Log.h"

HRESULT CKsAudFilter::BuildPinList()
{
    ULONG ulPins = 0;
    if (FAILED(PinCount(&ulPins)))
    {
        KsDebug(1, "Failed to retrieve count of pins in audio filter");
        ulPins = 0;
    }
    for (ULONG id = 0; id < ulPins; ++id)
    {
        ULONG comm = 0;
        ULONG flow = 0;
        if (FAILED(QueryPinProperty(id, kKsPropSetPin, KSPROPERTY_PIN_COMMUNICATION, &comm, sizeof(comm))))
        {
            KsDebug(1, "Failed to retrieve pin property KSPROPERTY_PIN_COMMUNICATION");
            continue;
        }
        if (comm < KSPIN_COMMUNICATION_SINK || comm > KSPIN_COMMUNICATION_BOTH)
        {
            KsDebug(1, "Pin communication value doesn't make sense");
            continue;
        }
        if (FAILED(QueryPinProperty(id, kKsPropSetPin, KSPROPERTY_PIN_DATAFLOW, &flow, sizeof(flow))))
        {
            KsDebug(1, "Failed to retrieve pin property KSPROPERTY_PIN_DATAFLOW");
            continue;
        }
        HRESULT hrPin = S_OK;
        CKsAudPin* pPin;
        if (comm == KSPIN_COMMUNICATION_SINK && flow == KSPIN_DATAFLOW_IN)
            pPin = KsNew<CKsRenderPin>(this, id, &hrPin);
        else if (comm == KSPIN_COMMUNICATION_SINK && flow == KSPIN_DATAFLOW_OUT)
            pPin = KsNew<CKsCapturePin>(this, id, &hrPin);
        else
            pPin = KsNew<CKsAudPin>(this, id, &hrPin);
        const char* szFailure = nullptr;
        if (!pPin)
            szFailure = "Failed to create audio pin";
        else if (FAILED(hrPin))
        {
            delete pPin;
            continue;
        }
        else if (!m_listPins.AddTail(pPin))
        {
            delete pPin;
            szFailure = "Unable to allocate list entry to save pin in";
        }
        if (szFailure)
        {
            KsDebug(1, szFailure);
            KsDebug(1, "Ran out of memory enumerating pins - deleting all pins");
            DeletePins();
            return E_OUTOFMEMORY;
        }
    }
    HRESULT hr = SortPins();
    if (SUCCEEDED(hr) && m_listRenderSinkPins.Empty() && m_listCaptureSourcePins.Empty() && m_listCaptureSinkPins.Empty() &&
        m_listRenderSourcePins.Empty())
    {
        KsDebug(1, "No valid pins found on the filter");
        hr = E_FAIL;
    }
    KS_TRACE(hr);
    return hr;
}

CKsAudPin* CKsAudFilter::FindMatchingPin(CKsList<CKsPin>& list, const WAVEFORMATEX* pwfx)
{
    for (auto* e = list.m_pHead; e; e = e->pNext)
    {
        auto* pPin = static_cast<CKsAudPin*>(e->pItem);
        if (pPin->IsFormatSupported(pwfx))
            return pPin;
    }
    return nullptr;
}

CKsAudPin* CKsCaptureFilter::CreateCapturePin(const WAVEFORMATEX* pwfx, BOOL bLooped)
{
    CKsAudPin* pPin = FindMatchingCapturePin(pwfx);
    if (!pPin)
    {
        g_Log.Print("CreateCapturePin() FAILED Could not find a capture pin that supports this wave format");
        return nullptr;
    }
    if (FAILED(pPin->SetPinFormat(pwfx)))
    {
        g_Log.Print("CreateCapturePin() FAILED to set capture pin format");
        return nullptr;
    }
    if (FAILED(pPin->Instantiate(bLooped)))
    {
        g_Log.Print("CreateCapturePin() FAILED to instantiate capture pin");
        return nullptr;
    }
    return pPin;
}

CKsAudPin* CKsRenderFilter::CreateRenderPin(const WAVEFORMATEX* pwfx, BOOL bLooped)
{
    CKsAudPin* pPin = FindMatchingRenderPin(pwfx);
    CKsAudPin* pMade = nullptr;
    if (!pPin)
        g_Log.Print("CreateRenderPin() FAILED Couldn't find a render pin that supports this wave format");
    else if (FAILED(pPin->SetPinFormat(pwfx)))
        g_Log.Print("CreateRenderPin() FAILED Couldn't set render pin format - the pin lied about its supported formats");
    else if (FAILED(pPin->Instantiate(bLooped)))
        g_Log.Print("CreateRenderPin() FAILED to instantiate render pin");
    else
        pMade = pPin;
    // Drivers do not always describe their ranges truthfully: try every pin as is.
    for (auto* e = m_listRenderSinkPins.m_pHead; !pMade && e; e = e->pNext)
    {
        auto* pTry = static_cast<CKsAudPin*>(e->pItem);
        if (SUCCEEDED(pTry->SetPinFormat(pwfx)) && SUCCEEDED(pTry->Instantiate(bLooped)))
            pMade = pTry;
    }
    if (pMade)
    {
        m_listPins.Remove(pMade);
        m_listRenderSinkPins.Remove(pMade);
        // A pin in both directions' lists must not stay behind in the other one.
        m_listRenderSourcePins.Remove(pMade);
    }
    return pMade;
}
