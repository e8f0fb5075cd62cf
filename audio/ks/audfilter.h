#pragma once
// Audio filters: pins of an audio device, and the render and capture filters that
// find and create a pin for a PCM format.
#include "audio/ks/audpin.h"
#include "audio/ks/filter.h"

class CKsAudFilter : public CKsFilter
{
public:
    int m_nFilterType = 0;  // 1 render, 2 capture

    CKsAudFilter(const char* szPath, HRESULT* phr) : CKsFilter(szPath, phr) {}

    HRESULT Instantiate() override { return CKsFilter::Instantiate(); }
    HRESULT BuildNodeList() override { return CKsFilter::BuildNodeList(); }
    HRESULT BuildPinList() override;
    void ClearLists() override { CKsFilter::ClearLists(); }

protected:
    // The first pin of the list whose data ranges accept the format, or null.
    static CKsAudPin* FindMatchingPin(CKsList<CKsPin>& list, const WAVEFORMATEX* pwfx);
};

class CKsRenderFilter : public CKsAudFilter
{
public:
    CKsRenderFilter(const char* szPath, HRESULT* phr) : CKsAudFilter(szPath, phr) { m_nFilterType = 1; }

    CKsAudPin* FindMatchingRenderPin(const WAVEFORMATEX* pwfx) { return FindMatchingPin(m_listRenderSinkPins, pwfx); }
    // The created pin, taken out of the filter: the caller deletes it. Null on failure.
    CKsAudPin* CreateRenderPin(const WAVEFORMATEX* pwfx, BOOL bLooped);
};

class CKsCaptureFilter : public CKsAudFilter
{
public:
    CKsCaptureFilter(const char* szPath, HRESULT* phr) : CKsAudFilter(szPath, phr) { m_nFilterType = 2; }

    CKsAudPin* FindMatchingCapturePin(const WAVEFORMATEX* pwfx) { return FindMatchingPin(m_listCaptureSinkPins, pwfx); }
    // The created pin, still owned by the filter. Null on failure.
    CKsAudPin* CreateCapturePin(const WAVEFORMATEX* pwfx, BOOL bLooped);
};
