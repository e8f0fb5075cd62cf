#include "audio/ks/audpin.h"

#include <cstring>

#include "audio/ks/audfilter.h"
#include "base/Log.h"

namespace {

DWORD FormatBytes(const WAVEFORMATEX* pwfx)
{
    return sizeof(WAVEFORMATEX) + (pwfx->wFormatTag == WAVE_FORMAT_PCM ? 0 : pwfx->cbSize);
}

}  // namespace

CKsAudPin::CKsAudPin(CKsAudFilter* pFilter, ULONG ulId, HRESULT* phr) : CKsPin(pFilter, ulId, phr), m_pAudFilter(pFilter)
{
    if (FAILED(*phr))
        return;
    m_pksPinCreate = static_cast<KSPIN_CONNECT*>(KsAlloc(kKsPinCreatePcm));
    if (!m_pksPinCreate)
    {
        KsDebug(1, "Failed to allocate m_pksPinCreate");
        *phr = E_OUTOFMEMORY;
        return;
    }
    m_cbPinCreateSize = kKsPinCreatePcm;
    std::memset(m_pksPinCreate, 0, kKsPinCreatePcm);
    m_pksPinCreate->Interface.Set = kKsInterfaceSetStandard;
    m_pksPinCreate->Interface.Id = KSINTERFACE_STANDARD_STREAMING;
    m_pksPinCreate->Medium.Set = kKsMediumSetStandard;
    m_pksPinCreate->Medium.Id = KSMEDIUM_TYPE_ANYINSTANCE;
    m_pksPinCreate->PinId = ulId;
    m_pksPinCreate->PinToHandle = nullptr;
    m_pksPinCreate->Priority.PriorityClass = KSPRIORITY_NORMAL;
    m_pksPinCreate->Priority.PrioritySubClass = 1;
    m_pksDataFormatWfx = reinterpret_cast<KSDATAFORMAT_WAVEFORMATEX*>(m_pksPinCreate + 1);
    KSDATAFORMAT& df = m_pksDataFormatWfx->DataFormat;
    df.FormatSize = sizeof(KSDATAFORMAT_WAVEFORMATEX);
    df.MajorFormat = kKsTypeAudio;
    df.SubFormat = kKsSubtypePcm;
    df.Specifier = kKsSpecifierWfx;

    if (!HasIdentifier(m_pInterfaces, m_cInterfaces, kKsInterfaceSetStandard, KSINTERFACE_STANDARD_STREAMING))
    {
        KsDebug(1, "No standard streaming interfaces on the pin");
        *phr = E_FAIL;
        return;
    }
    if (!HasIdentifier(m_pMediums, m_cMediums, kKsMediumSetStandard, KSMEDIUM_TYPE_ANYINSTANCE))
    {
        KsDebug(1, "No standard streaming mediums on the pin");
        *phr = E_FAIL;
        return;
    }
    *phr = SaveDataRanges();
}

bool CKsAudPin::HasIdentifier(const KSIDENTIFIER* pItems, ULONG ulCount, const GUID& set, ULONG ulId) const
{
    for (ULONG i = 0; pItems && i < ulCount; ++i)
        if (KsGuidEqual(pItems[i].Set, set) && pItems[i].Id == ulId)
            return true;
    return false;
}

HRESULT CKsAudPin::SaveDataRanges()
{
    HRESULT hr = S_OK;
    if (!m_pksDataRanges)
    {
        KsDebug(1, "No audio dataranges on the pin");
        return E_FAIL;
    }
    // Walk by each range's own size, never past the end of what the device sent.
    const BYTE* p = reinterpret_cast<const BYTE*>(m_pksDataRanges + 1);
    const BYTE* pEnd = reinterpret_cast<const BYTE*>(m_pksDataRanges) + m_pksDataRanges->Size;
    for (ULONG i = 0; i < m_cDataRanges; ++i)
    {
        if (p + sizeof(KSDATARANGE) > pEnd)
            break;
        const auto* pRange = reinterpret_cast<const KSDATARANGE*>(p);
        const ULONG cb = pRange->FormatSize;
        if (cb < sizeof(KSDATARANGE) || cb > static_cast<ULONG>(pEnd - p))
            break;
        p += cb;
        const GUID& sub = pRange->SubFormat;
        if (!KsGuidEqual(pRange->MajorFormat, kKsTypeAudio) ||
            !(KsIsWaveFormatGuid(sub) || KsGuidEqual(sub, kKsSubtypePcm) || KsGuidEqual(sub, kKsGuidNull)))
            continue;
        auto* pCopy = static_cast<KSDATARANGE_AUDIO*>(KsAlloc(sizeof(KSDATARANGE_AUDIO)));
        if (!pCopy)
        {
            KsDebug(1, "Unable to allocate memory to save datarange in");
            hr = E_OUTOFMEMORY;
            continue;
        }
        // A range shorter than an audio range keeps zero limits, so it accepts nothing.
        std::memset(pCopy, 0, sizeof(*pCopy));
        std::memcpy(pCopy, pRange, cb < sizeof(*pCopy) ? cb : sizeof(*pCopy));
        if (!m_listDataRange.AddTail(pCopy))
        {
            KsDebug(1, "Unable to allocate list entry to save datarange in");
            KsFree(pCopy);
            hr = E_OUTOFMEMORY;
        }
    }
    if (m_listDataRange.Empty())
    {
        KsDebug(1, "No audio dataranges on the pin");
        return FAILED(hr) ? hr : E_FAIL;
    }
    return hr;
}

CKsAudPin::~CKsAudPin()
{
    while (KSDATARANGE_AUDIO* p = m_listDataRange.RemoveHead())
        KsFree(p);
    KsFree(m_pWaveFormatEx);
}

bool CKsAudPin::IsFormatSupported(const WAVEFORMATEX* pwfx)
{
    const GUID tagGuid = KsWaveFormatGuid(pwfx->wFormatTag);
    for (auto* e = m_listDataRange.m_pHead; e; e = e->pNext)
    {
        const KSDATARANGE_AUDIO& r = *e->pItem;
        const KSDATARANGE& d = r.DataRange;
        if (!KsGuidEqual(d.MajorFormat, kKsGuidNull) && !KsGuidEqual(d.MajorFormat, kKsTypeAudio))
            continue;
        bool bSub = KsGuidEqual(d.SubFormat, kKsGuidNull) || KsGuidEqual(d.SubFormat, tagGuid);
        if (!bSub && pwfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE)
            bSub = KsGuidEqual(d.SubFormat, reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(pwfx)->SubFormat);
        if (!bSub)
            continue;
        if (!KsGuidEqual(d.Specifier, kKsGuidNull) && !KsGuidEqual(d.Specifier, kKsSpecifierWfx))
            continue;
        if (r.MaximumChannels < pwfx->nChannels || r.MinimumBitsPerSample > pwfx->wBitsPerSample ||
            r.MaximumBitsPerSample < pwfx->wBitsPerSample || r.MinimumSampleFrequency > pwfx->nSamplesPerSec ||
            r.MaximumSampleFrequency < pwfx->nSamplesPerSec)
            continue;
        g_iRangeMaxSamplingFreq = static_cast<int>(r.MaximumSampleFrequency);
        g_Log.Print("CKsAudPin::IsFormatSupported() MaximumChannels", static_cast<DWORD>(r.MaximumChannels));
        g_Log.Print("CKsAudPin::IsFormatSupported() MinimumBitsPerSample", static_cast<DWORD>(r.MinimumBitsPerSample));
        g_Log.Print("CKsAudPin::IsFormatSupported() MaximumBitsPerSample", static_cast<DWORD>(r.MaximumBitsPerSample));
        g_Log.Print("CKsAudPin::IsFormatSupported() MinimumSampleFrequency", static_cast<DWORD>(r.MinimumSampleFrequency));
        g_Log.Print("CKsAudPin::IsFormatSupported() MaximumSampleFrequency", static_cast<DWORD>(r.MaximumSampleFrequency));
        return true;
    }
    return false;
}

HRESULT CKsAudPin::SetPinFormat(const WAVEFORMATEX* pwfx)
{
    if (!pwfx || !m_pksDataFormatWfx)
    {
        KsDebug(1, "pwfx or m_pksDataFormatWfx are NULL");
        return E_FAIL;
    }
    const DWORD cbFormat = FormatBytes(pwfx);
    const DWORD cbWanted = kKsPinCreateHead + cbFormat;
    if (m_cbPinCreateSize != cbWanted)
    {
        auto* pNew = static_cast<KSPIN_CONNECT*>(KsAlloc(cbWanted));
        if (!pNew)
        {
            KsDebug(1, "Unable to allocate KSPIN_CONNECT structure");
            return E_OUTOFMEMORY;
        }
        std::memcpy(pNew, m_pksPinCreate, cbWanted < m_cbPinCreateSize ? cbWanted : m_cbPinCreateSize);
        KsFree(m_pksPinCreate);
        m_pksPinCreate = pNew;
        m_cbPinCreateSize = cbWanted;
        m_pksDataFormatWfx = reinterpret_cast<KSDATAFORMAT_WAVEFORMATEX*>(m_pksPinCreate + 1);
        m_pksDataFormatWfx->DataFormat.FormatSize = sizeof(KSDATAFORMAT) + cbFormat;
    }
    auto* pCopy = static_cast<WAVEFORMATEX*>(KsAlloc(cbFormat));
    if (!pCopy)
        return E_OUTOFMEMORY;
    std::memcpy(pCopy, pwfx, cbFormat);
    std::memcpy(reinterpret_cast<BYTE*>(m_pksDataFormatWfx) + sizeof(KSDATAFORMAT), pwfx, cbFormat);
    m_pksDataFormatWfx->DataFormat.SampleSize = static_cast<ULONG>(pwfx->wBitsPerSample * pwfx->nChannels / 8);
    KsFree(m_pWaveFormatEx);
    m_pWaveFormatEx = pCopy;
    return S_OK;
}
