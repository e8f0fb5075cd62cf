#pragma once
// The audio side of a pin: its audio data ranges, the PCM format test against
// them and the connect structure that carries the format to the driver.
#include "audio/ks/pin.h"

class CKsAudFilter;

class CKsAudPin : public CKsPin
{
public:
    CKsList<KSDATARANGE_AUDIO> m_listDataRange;  // owned copies
    CKsAudFilter* m_pAudFilter;
    WAVEFORMATEX* m_pWaveFormatEx = nullptr;      // copy of the current format
    KSDATAFORMAT_WAVEFORMATEX* m_pksDataFormatWfx = nullptr;  // inside m_pksPinCreate

    CKsAudPin(CKsAudFilter* pFilter, ULONG ulId, HRESULT* phr);
    ~CKsAudPin() override;

    HRESULT Instantiate(BOOL bLooped) override { return CKsPin::Instantiate(bLooped); }
    HRESULT SetPinState(KSSTATE state) override { return CKsPin::SetPinState(state); }

    bool IsFormatSupported(const WAVEFORMATEX* pwfx);
    HRESULT SetPinFormat(const WAVEFORMATEX* pwfx);

private:
    bool HasIdentifier(const KSIDENTIFIER* pItems, ULONG ulCount, const GUID& set, ULONG ulId) const;
    HRESULT SaveDataRanges();
};

class CKsRenderPin : public CKsAudPin
{
public:
    CKsRenderPin(CKsAudFilter* pFilter, ULONG ulId, HRESULT* phr) : CKsAudPin(pFilter, ulId, phr) { m_nPinType = 1; }
};

class CKsCapturePin : public CKsAudPin
{
public:
    CKsCapturePin(CKsAudFilter* pFilter, ULONG ulId, HRESULT* phr) : CKsAudPin(pFilter, ulId, phr) { m_nPinType = 2; }
};
