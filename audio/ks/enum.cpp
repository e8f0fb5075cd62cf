#include "audio/ks/enum.h"

#include <cstdio>
#include <cstring>

#include "audio/ks/KsPlatform.h"
#include "audio/ks/audfilter.h"
#include "base/Log.h"

char g_szCaptureDeviceNames[kMaxKsDeviceNames][MAX_PATH];
int g_iNumCaptureDeviceNames = 0;
char g_szRenderDeviceNames[kMaxKsDeviceNames][MAX_PATH];
int g_iNumRenderDeviceNames = 0;

namespace {

constexpr DWORD kDetailBytes = 525;

void RecordName(ULONG ulFilterType, const char* szName)
{
    const bool bRender = ulFilterType == eAudRen;
    int& n = bRender ? g_iNumRenderDeviceNames : g_iNumCaptureDeviceNames;
    if (n >= kMaxKsDeviceNames)
        return;
    char* szSlot = bRender ? g_szRenderDeviceNames[n] : g_szCaptureDeviceNames[n];
    std::snprintf(szSlot, MAX_PATH, "%s", szName);
    ++n;
    g_Log.Print(bRender ? "eAudRen DeviceName = " : "eAudCap DeviceName = ", szName);
}

}  // namespace

CKsEnumFilters::~CKsEnumFilters() { CKsEnumFilters::ClearLists(); }

void CKsEnumFilters::ClearLists()
{
    while (CKsFilter* p = m_listFilters.RemoveHead())
        delete p;
}

CKsFilter* CKsEnumFilters::MakeFilter(ULONG ulFilterType, const char* szPath, BOOL bEnumPins, BOOL bQueryTopology,
                                      BOOL bOpenDevices, HRESULT* phr)
{
    HRESULT hr = S_OK;
    CKsFilter* pFilter;
    if (ulFilterType == eAudRen)
        pFilter = KsNew<CKsRenderFilter>(szPath, &hr);
    else if (ulFilterType == eAudCap)
        pFilter = KsNew<CKsCaptureFilter>(szPath, &hr);
    else
        pFilter = KsNew<CKsFilter>(szPath, &hr);
    if (!pFilter)
    {
        *phr = E_OUTOFMEMORY;
        return nullptr;
    }
    if (SUCCEEDED(hr) && (bEnumPins || bQueryTopology || bOpenDevices))
    {
        hr = pFilter->Instantiate();
        if (SUCCEEDED(hr) && bQueryTopology)
            hr = pFilter->BuildNodeList();
        if (SUCCEEDED(hr) && bEnumPins)
            hr = pFilter->BuildPinList();
    }
    if (FAILED(hr))
    {
        KsDebug(4, "Failed to create filter for %s", szPath);
        delete pFilter;
        *phr = hr;
        return nullptr;
    }
    *phr = S_OK;
    return pFilter;
}

HRESULT CKsEnumFilters::FindFilters(ULONG ulFilterType, const GUID* aguidCategories, ULONG cCategories, BOOL bEnumPins,
                                    BOOL bQueryTopology, BOOL bOpenDevices)
{
    ClearLists();
    if (!aguidCategories || cCategories == 0 || KsGuidEqual(aguidCategories[0], kKsGuidNull))
        return S_OK;
    IKsPlatform& os = KsPlatform();
    HDEVINFO hSet = os.GetClassDevs(&aguidCategories[0], DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (!hSet || hSet == INVALID_HANDLE_VALUE)
    {
        KsDebug(4, "No devices found");
        return E_FAIL;
    }
    HRESULT hr = S_OK;
    SP_DEVICE_INTERFACE_DATA iface;
    std::memset(&iface, 0, sizeof(iface));
    iface.cbSize = sizeof(iface);
    for (DWORD index = 0; os.EnumDeviceInterfaces(hSet, &aguidCategories[0], index, &iface); ++index)
    {
        auto* pDetail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(KsAlloc(kDetailBytes));
        if (!pDetail)
        {
            KsDebug(1, "Failed to allocate SP_DEVICE_INTERFACE_DETAIL_DATA structure");
            hr = E_OUTOFMEMORY;
            break;
        }
        std::memset(pDetail, 0, kDetailBytes);
        pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA info;
        std::memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        bool bKeep = os.GetDeviceInterfaceDetail(hSet, &iface, pDetail, kDetailBytes, &info) != FALSE;
        for (ULONG c = 1; bKeep && c < cCategories; ++c)
        {
            SP_DEVICE_INTERFACE_DATA alias;
            std::memset(&alias, 0, sizeof(alias));
            alias.cbSize = sizeof(alias);
            if (!os.GetDeviceInterfaceAlias(hSet, &iface, &aguidCategories[c], &alias))
            {
                KsDebug(5, "Failed to get requested DeviceInterfaceAlias");
                bKeep = false;
            }
            else if (alias.Flags == 0 || (alias.Flags & SPINT_REMOVED))
            {
                KsDebug(5, "DeviceInterfaceAlias disabled.");
                bKeep = false;
            }
        }
        CKsFilter* pFilter = nullptr;
        if (bKeep)
        {
            HRESULT hrFilter = S_OK;
            pFilter = MakeFilter(ulFilterType, pDetail->DevicePath, bEnumPins, bQueryTopology, bOpenDevices, &hrFilter);
            if (pFilter && !m_listFilters.AddTail(pFilter))
            {
                delete pFilter;
                pFilter = nullptr;
            }
        }
        if (pFilter)
        {
            char szRegName[512] = "";
            HKEY hKey = os.OpenDeviceInterfaceRegKey(hSet, &iface, KEY_READ);
            if (hKey && hKey != INVALID_HANDLE_VALUE)
            {
                DWORD cb = sizeof(szRegName) - 1;
                os.QueryValue(hKey, "FriendlyName", reinterpret_cast<BYTE*>(szRegName), &cb);
                szRegName[sizeof(szRegName) - 1] = '\0';
                os.CloseKey(hKey);
            }
            char szName[MAX_PATH] = "";
            if (!os.GetDeviceRegistryProperty(hSet, &info, SPDRP_FRIENDLYNAME, reinterpret_cast<BYTE*>(szName), MAX_PATH - 1) &&
                !os.GetDeviceRegistryProperty(hSet, &info, SPDRP_DEVICEDESC, reinterpret_cast<BYTE*>(szName), MAX_PATH - 1))
                szName[0] = '\0';
            szName[MAX_PATH - 1] = '\0';
            if (szName[0])
                std::printf(" %s/%s\n", szRegName, szName);
            std::snprintf(pFilter->m_szFriendlyName, MAX_PATH, "%s", szName);
            RecordName(ulFilterType, szName);
        }
        KsFree(pDetail);
    }
    os.DestroyDeviceInfoList(hSet);
    if (m_listFilters.Empty())
        hr = E_FAIL;
    KS_TRACE(hr);
    return hr;
}
