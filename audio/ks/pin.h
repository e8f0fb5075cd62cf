#pragma once
// One pin of an opened filter: its properties, its creation with KsCreatePin, its
// state, and the stream reads and writes.
#include "audio/ks/irptgt.h"

class CKsFilter;

// MaximumSampleFrequency of the data range that last accepted a format.
extern int g_iRangeMaxSamplingFreq;
// "ksuser.dll" and its KsCreatePin, loaded at the first pin creation.
extern HMODULE g_hKsUser;
extern FARPROC g_pfnKsCreatePin;

class CKsPin : public CKsIrpTarget
{
public:
    CKsFilter* m_pFilter;
    ULONG m_nId;
    KSPIN_CONNECT* m_pksPinCreate = nullptr;
    DWORD m_cbPinCreateSize = 0;
    GUID m_guidCategory = kKsGuidNull;
    ULONG m_cInterfaces = 0;
    KSIDENTIFIER* m_pInterfaces = nullptr;
    KSMULTIPLE_ITEM* m_pksInterfaces = nullptr;
    ULONG m_cMediums = 0;
    KSIDENTIFIER* m_pMediums = nullptr;
    KSMULTIPLE_ITEM* m_pksMediums = nullptr;
    ULONG m_cDataRanges = 0;
    KSDATARANGE* m_pDataRanges = nullptr;
    KSMULTIPLE_ITEM* m_pksDataRanges = nullptr;
    ULONG m_nDataFlow = 0;       // 1 in, 2 out
    ULONG m_nCommunication = 0;  // 0 none, 1 sink, 2 source, 3 both
    KSPIN_CINSTANCES m_cInstances = {0, 0};
    KSPIN_CINSTANCES m_cGlobalInstances = {0, 0};
    int m_nPinType = 0;  // 1 render, 2 capture
    KSSTATE m_nState = KSSTATE_STOP;
    char m_szName[MAX_PATH];
    BOOL m_bLooped = FALSE;
    CKsPin* m_pLinkPin = nullptr;  // its handle becomes PinToHandle

    CKsPin(CKsFilter* pFilter, ULONG ulId, HRESULT* phr);
    virtual ~CKsPin();
    CKsPin(const CKsPin&) = delete;
    CKsPin& operator=(const CKsPin&) = delete;

    virtual HRESULT Instantiate(BOOL bLooped);
    virtual HRESULT SetPinState(KSSTATE state);
    // Stops a created pin and closes its handle; nothing for a pin never created.
    void Close();
    HRESULT ReadData(KSSTREAM_HEADER* pHeader, OVERLAPPED* pOv);
    HRESULT WriteData(KSSTREAM_HEADER* pHeader, OVERLAPPED* pOv);

    ULONG GetDataFlow() const { return m_nDataFlow; }
    ULONG GetCommunication() const { return m_nCommunication; }

private:
    HRESULT Stream(ULONG ulCode, KSSTREAM_HEADER* pHeader, OVERLAPPED* pOv, const char* szError);
};
