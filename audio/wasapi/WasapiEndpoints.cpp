#include "audio/wasapi/WasapiEndpoints.h"

#include <windows.h>

#include <mmdeviceapi.h>
#include <propidl.h>

namespace {

// The device's friendly name, as the system's sound settings show it.
const PROPERTYKEY kFriendlyName = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

std::string Narrow(const wchar_t* sz, UINT uCodePage)
{
    const int n = WideCharToMultiByte(uCodePage, 0, sz, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(uCodePage, 0, sz, -1, &s[0], n, nullptr, nullptr);
    s.resize(static_cast<size_t>(n - 1));
    return s;
}

std::string FriendlyName(IMMDevice* pDevice)
{
    std::string sName;
    IPropertyStore* pStore = nullptr;
    if (FAILED(pDevice->OpenPropertyStore(STGM_READ, &pStore)))
        return sName;
    PROPVARIANT v;
    PropVariantInit(&v);
    if (SUCCEEDED(pStore->GetValue(kFriendlyName, &v)) && v.vt == VT_LPWSTR && v.pwszVal)
        sName = Narrow(v.pwszVal, CP_ACP);
    PropVariantClear(&v);
    pStore->Release();
    return sName;
}

} // namespace

bool ListWasapiEndpoints(bool bCapture, std::vector<WasapiEndpoint>* pList)
{
    pList->clear();
    const HRESULT hrCom = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IMMDeviceEnumerator* pEnum = nullptr;
    IMMDeviceCollection* pDevices = nullptr;
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  reinterpret_cast<void**>(&pEnum));
    if (SUCCEEDED(hr))
        hr = pEnum->EnumAudioEndpoints(bCapture ? eCapture : eRender, DEVICE_STATE_ACTIVE, &pDevices);
    UINT uCount = 0;
    if (SUCCEEDED(hr))
        hr = pDevices->GetCount(&uCount);
    for (UINT i = 0; SUCCEEDED(hr) && i < uCount; ++i)
    {
        IMMDevice* pDevice = nullptr;
        LPWSTR szId = nullptr;
        if (SUCCEEDED(pDevices->Item(i, &pDevice)) && SUCCEEDED(pDevice->GetId(&szId)) && szId)
        {
            WasapiEndpoint e{Narrow(szId, CP_UTF8), FriendlyName(pDevice)};
            if (e.sName.empty())
                e.sName = e.sId;
            pList->push_back(e);
        }
        if (szId)
            CoTaskMemFree(szId);
        if (pDevice)
            pDevice->Release();
    }
    if (pDevices)
        pDevices->Release();
    if (pEnum)
        pEnum->Release();
    if (SUCCEEDED(hrCom))
        CoUninitialize();
    return SUCCEEDED(hr);
}
