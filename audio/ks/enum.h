#pragma once
// Finds the devices of given categories through SetupAPI and keeps them as filters.
#include "audio/StreamControl.h"  // kMaxKsDeviceNames
#include "audio/ks/filter.h"

constexpr ULONG eAudRen = 1;
constexpr ULONG eAudCap = 2;

// Friendly names of the devices that enumeration kept, in order, at most 10 each.
extern char g_szCaptureDeviceNames[kMaxKsDeviceNames][MAX_PATH];
extern int g_iNumCaptureDeviceNames;
extern char g_szRenderDeviceNames[kMaxKsDeviceNames][MAX_PATH];
extern int g_iNumRenderDeviceNames;

class CKsEnumFilters
{
public:
    CKsList<CKsFilter> m_listFilters;  // owns its filters

    explicit CKsEnumFilters(HRESULT* phr) { *phr = S_OK; }
    virtual ~CKsEnumFilters();
    CKsEnumFilters(const CKsEnumFilters&) = delete;
    CKsEnumFilters& operator=(const CKsEnumFilters&) = delete;

    virtual void ClearLists();

    // Devices present in the first category that also have an enabled interface in
    // every further category. Filter type eAudRen, eAudCap or anything else (plain).
    HRESULT FindFilters(ULONG ulFilterType, const GUID* aguidCategories, ULONG cCategories, BOOL bEnumPins,
                        BOOL bQueryTopology, BOOL bOpenDevices);

private:
    // Makes, opens and lists one filter; null (with hr) when it is not kept.
    CKsFilter* MakeFilter(ULONG ulFilterType, const char* szPath, BOOL bEnumPins, BOOL bQueryTopology, BOOL bOpenDevices,
                          HRESULT* phr);
};
