#include "drivers/demo-asio/DemoAsioRegistry.h"

#include <olectl.h>
#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "drivers/demo-asio/DemoAsioDriver.h"

namespace {

bool SetText(HKEY hRoot, const std::string& sKey, const char* szName, const char* szValue)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(hRoot, sKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG r = RegSetValueExA(hKey, szName, 0, REG_SZ, reinterpret_cast<const BYTE*>(szValue),
                                  static_cast<DWORD>(std::strlen(szValue) + 1));
    RegCloseKey(hKey);
    return r == ERROR_SUCCESS;
}

} // namespace

HRESULT RegisterDemoAsio(const char* szDllPath, const char* szDescription)
{
    if (!szDllPath || !szDescription || !*szDescription || std::strchr(szDescription, '\\'))
        return E_INVALIDARG;
    const std::string sClass = std::string("CLSID\\") + kDemoAsioClsid;
    const std::string sServer = sClass + "\\InprocServer32";
    const std::string sEntry = std::string("software\\asio\\") + szDescription;
    if (!SetText(HKEY_CLASSES_ROOT, sClass, nullptr, kDemoAsioName) ||
        !SetText(HKEY_CLASSES_ROOT, sServer, nullptr, szDllPath) ||
        !SetText(HKEY_CLASSES_ROOT, sServer, "ThreadingModel", "Apartment"))
        return SELFREG_E_CLASS;
    if (!SetText(HKEY_LOCAL_MACHINE, sEntry, "CLSID", kDemoAsioClsid) ||
        !SetText(HKEY_LOCAL_MACHINE, sEntry, "Description", szDescription))
        return E_ACCESSDENIED;
    return S_OK;
}

HRESULT UnregisterDemoAsio()
{
    HKEY hAsio = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\asio", 0, KEY_READ | KEY_WRITE, &hAsio) == ERROR_SUCCESS)
    {
        std::vector<std::string> ours;
        char szKey[256];
        for (DWORD i = 0; RegEnumKeyA(hAsio, i, szKey, sizeof szKey) == ERROR_SUCCESS; ++i)
        {
            HKEY hSub = nullptr;
            if (RegOpenKeyExA(hAsio, szKey, 0, KEY_READ, &hSub) != ERROR_SUCCESS)
                continue;
            char szClsid[64] = {};
            DWORD type = 0;
            DWORD size = sizeof szClsid - 1;
            if (RegQueryValueExA(hSub, "clsid", nullptr, &type, reinterpret_cast<BYTE*>(szClsid), &size) ==
                    ERROR_SUCCESS &&
                lstrcmpiA(szClsid, kDemoAsioClsid) == 0)
                ours.push_back(szKey);
            RegCloseKey(hSub);
        }
        for (const std::string& s : ours)
            SHDeleteKeyA(hAsio, s.c_str());
        RegCloseKey(hAsio);
    }
    SHDeleteKeyA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kDemoAsioClsid).c_str());
    return S_OK;
}
