#pragma once
// The kernel-streaming layer's shared ground: the platform's published structures
// (from the MinGW-w64 headers, their layouts checked here for both widths), the
// GUIDs the layer uses, the list type and the debug-output channel.
#include <windows.h>
#include <mmreg.h>
#include <ks.h>
#include <ksmedia.h>
#include <setupapi.h>

#include <cstddef>
#include <new>

constexpr bool kKsWide = sizeof(void*) == 8;
static_assert(sizeof(KSPROPERTY) == 24 && offsetof(KSPROPERTY, Id) == 16 && offsetof(KSPROPERTY, Flags) == 20, "KSPROPERTY");
static_assert(sizeof(KSP_PIN) == 32 && offsetof(KSP_PIN, PinId) == 24, "KSP_PIN");
static_assert(sizeof(KSMULTIPLE_ITEM) == 8, "KSMULTIPLE_ITEM");
static_assert(sizeof(KSIDENTIFIER) == 24, "KSIDENTIFIER");
static_assert(sizeof(KSPIN_CONNECT) == (kKsWide ? 72 : 64) && offsetof(KSPIN_CONNECT, PinId) == 48 &&
                  offsetof(KSPIN_CONNECT, PinToHandle) == (kKsWide ? 56 : 52) &&
                  offsetof(KSPIN_CONNECT, Priority) == (kKsWide ? 64 : 56),
              "KSPIN_CONNECT");
static_assert(sizeof(KSDATAFORMAT) == 64 && offsetof(KSDATAFORMAT, MajorFormat) == 16 &&
                  offsetof(KSDATAFORMAT, SubFormat) == 32 && offsetof(KSDATAFORMAT, Specifier) == 48,
              "KSDATAFORMAT");
static_assert(sizeof(WAVEFORMATEX) == 18 && offsetof(WAVEFORMATEX, cbSize) == 16, "WAVEFORMATEX");
static_assert(sizeof(KSDATAFORMAT_WAVEFORMATEX) == 82 && offsetof(KSDATAFORMAT_WAVEFORMATEX, WaveFormatEx) == 64,
              "KSDATAFORMAT_WAVEFORMATEX");
static_assert(offsetof(KSDATARANGE_AUDIO, MaximumChannels) == 64 && offsetof(KSDATARANGE_AUDIO, MaximumSampleFrequency) == 80 &&
                  sizeof(KSDATARANGE_AUDIO) == 88,
              "KSDATARANGE_AUDIO");
static_assert(sizeof(KSSTREAM_HEADER) == (kKsWide ? 56 : 48) && offsetof(KSSTREAM_HEADER, PresentationTime) == 8 &&
                  offsetof(KSSTREAM_HEADER, FrameExtent) == 32 && offsetof(KSSTREAM_HEADER, DataUsed) == 36 &&
                  offsetof(KSSTREAM_HEADER, Data) == 40,
              "KSSTREAM_HEADER");
static_assert(sizeof(KSPIN_CINSTANCES) == 8, "KSPIN_CINSTANCES");
static_assert(sizeof(KSSTATE) == 4, "KSSTATE");
static_assert(sizeof(OVERLAPPED) == (kKsWide ? 32 : 20), "OVERLAPPED");
static_assert(IOCTL_KS_PROPERTY == 0x2F0003 && IOCTL_KS_READ_STREAM == 0x2F4017 && IOCTL_KS_WRITE_STREAM == 0x2F8013,
              "kernel-streaming control codes");

// The connect structure followed by a PCM wave format: 146 bytes on 32-bit Windows.
constexpr DWORD kKsPinCreateHead = sizeof(KSPIN_CONNECT) + sizeof(KSDATAFORMAT);
constexpr DWORD kKsPinCreatePcm = kKsPinCreateHead + sizeof(WAVEFORMATEX);
static_assert(kKsWide || kKsPinCreatePcm == 146, "32-bit connect structure");

const GUID kKsPropSetPin = {STATIC_KSPROPSETID_Pin};
const GUID kKsPropSetTopology = {STATIC_KSPROPSETID_Topology};
const GUID kKsPropSetConnection = {STATIC_KSPROPSETID_Connection};
const GUID kKsTypeAudio = {STATIC_KSDATAFORMAT_TYPE_AUDIO};
const GUID kKsSubtypePcm = {STATIC_KSDATAFORMAT_SUBTYPE_PCM};
const GUID kKsSpecifierWfx = {STATIC_KSDATAFORMAT_SPECIFIER_WAVEFORMATEX};
const GUID kKsInterfaceSetStandard = {STATIC_KSINTERFACESETID_Standard};
const GUID kKsMediumSetStandard = {STATIC_KSMEDIUMSETID_Standard};
const GUID kKsCategoryAudio = {STATIC_KSCATEGORY_AUDIO};
const GUID kKsCategoryCapture = {STATIC_KSCATEGORY_CAPTURE};
const GUID kKsCategoryRender = {STATIC_KSCATEGORY_RENDER};
const GUID kKsGuidNull = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// The wave-format-tag GUID {0000tttt-0000-0010-8000-00AA00389B71}.
GUID KsWaveFormatGuid(WORD wTag);
bool KsIsWaveFormatGuid(const GUID& g);
inline bool KsGuidEqual(const GUID& a, const GUID& b) { return IsEqualGUID(a, b) != 0; }

// Threshold of the layer's debug output: 1 errors, 3 pin properties, 4 and 5
// enumeration notes, 6 traces. 0 keeps it all quiet.
extern int g_iKsDebugLevel;
void KsDebug(int iLevel, const char* szFormat, ...);
#define KS_TRACE(hr) KsDebug(6, "%s(%d) hr=0x%08x", __FILE__, __LINE__, static_cast<unsigned>(hr))

inline bool KsHandleValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// A doubly linked list of item pointers; it owns its entries, not its items.
template <class T>
class CKsList
{
public:
    struct Entry
    {
        Entry* pNext;
        Entry* pPrev;
        T* pItem;
    };
    Entry* m_pHead = nullptr;
    Entry* m_pTail = nullptr;
    int m_iCount = 0;

    CKsList() = default;
    CKsList(const CKsList&) = delete;
    CKsList& operator=(const CKsList&) = delete;
    ~CKsList() { Clear(); }

    // The new entry, or null when it cannot be allocated.
    Entry* AddTail(T* pItem);
    T* RemoveHead();
    // Takes the entry holding pItem out of the list; false when absent.
    bool Remove(T* pItem);
    void Clear()
    {
        while (m_pHead)
            RemoveHead();
    }
    bool Empty() const { return m_iCount == 0; }
};

// Fault injection for the layer's own heap requests in tests: the n-th request from
// now on fails; 0 switches it off.
void KsSetAllocFailAt(int n);
bool KsAllocMustFail();
void* KsAlloc(size_t bytes);
void KsFree(void* p);
// Blocks from KsAlloc not yet freed, for leak accounting.
int KsLiveAllocations();

template <class T>
typename CKsList<T>::Entry* CKsList<T>::AddTail(T* pItem)
{
    auto* e = static_cast<Entry*>(KsAlloc(sizeof(Entry)));
    if (!e)
        return nullptr;
    e->pNext = nullptr;
    e->pPrev = m_pTail;
    e->pItem = pItem;
    (m_pTail ? m_pTail->pNext : m_pHead) = e;
    m_pTail = e;
    ++m_iCount;
    return e;
}

template <class T>
T* CKsList<T>::RemoveHead()
{
    Entry* e = m_pHead;
    if (!e)
        return nullptr;
    T* pItem = e->pItem;
    m_pHead = e->pNext;
    (m_pHead ? m_pHead->pPrev : m_pTail) = nullptr;
    --m_iCount;
    KsFree(e);
    return pItem;
}

template <class T>
bool CKsList<T>::Remove(T* pItem)
{
    for (Entry* e = m_pHead; e; e = e->pNext)
    {
        if (e->pItem != pItem)
            continue;
        (e->pPrev ? e->pPrev->pNext : m_pHead) = e->pNext;
        (e->pNext ? e->pNext->pPrev : m_pTail) = e->pPrev;
        --m_iCount;
        KsFree(e);
        return true;
    }
    return false;
}

// Objects of the layer are made through KsNew so allocation failures can be
// injected; construction arguments are passed through.
template <class T, class... A>
T* KsNew(A&&... args)
{
    if (KsAllocMustFail())
        return nullptr;
    return new (std::nothrow) T(static_cast<A&&>(args)...);
}
