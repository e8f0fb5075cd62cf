#include "audio/asio/AsioDriverList.h"

#include <cctype>
#include <cstring>
#include <new>

IAsioDriver* g_pAsioDriver = nullptr;

namespace {

CAsioDriverList* g_pDriverList = nullptr;

void LowerCase(char* s)
{
    for (; *s; ++s)
        *s = static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
}

// Reads a string value of an open key into buf (at most iSize bytes, always
// terminated); false when missing or not a string. A REG_EXPAND_SZ value has its
// environment variables expanded; false when the result does not fit.
bool ReadString(HKEY hKey, const char* szValue, char* buf, DWORD iSize)
{
    DWORD type = 0;
    DWORD size = iSize - 1;
    if (RegQueryValueExA(hKey, szValue, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buf[size < iSize ? size : iSize - 1] = '\0';
    if (type == REG_SZ)
        return true;
    char szExpanded[1024];
    const DWORD n = ExpandEnvironmentStringsA(buf, szExpanded, sizeof szExpanded);
    if (n == 0 || n > sizeof szExpanded || n > iSize)
        return false;
    lstrcpynA(buf, szExpanded, static_cast<int>(iSize));
    return true;
}

// True for an existing file (not a folder), whatever the length of its path: the
// old 128-character file calls would drop drivers installed deep in a folder tree.
bool FileExists(const char* szPath)
{
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (std::strlen(szPath) < MAX_PATH)
    {
        attributes = GetFileAttributesA(szPath);
    }
    else
    {
        // Beyond MAX_PATH only the wide calls reach a file, through the "\\?\" form.
        WCHAR wszPath[4 + 1024] = L"\\\\?\\";
        if (MultiByteToWideChar(CP_ACP, 0, szPath, -1, wszPath + 4, 1024) == 0)
            return false;
        attributes = GetFileAttributesW(wszPath);
    }
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The DLL registered for the class: the default value of its InprocServer32 key,
// accepted only when the file exists. The search ends at the first equal name.
bool FindServerPath(const char* szClsid, char* szPath, DWORD iSize)
{
    char szWanted[256];
    lstrcpynA(szWanted, szClsid, sizeof szWanted);
    LowerCase(szWanted);
    HKEY hClsid = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "clsid", 0, KEY_READ, &hClsid) != ERROR_SUCCESS)
        return false;
    bool bFound = false;
    char szKey[256];
    for (DWORD i = 0; RegEnumKeyA(hClsid, i, szKey, sizeof szKey) == ERROR_SUCCESS; ++i)
    {
        LowerCase(szKey);
        if (std::strcmp(szKey, szWanted) != 0)
            continue;
        HKEY hClass = nullptr;
        if (RegOpenKeyExA(hClsid, szKey, 0, KEY_READ, &hClass) == ERROR_SUCCESS)
        {
            HKEY hServer = nullptr;
            if (RegOpenKeyExA(hClass, "InprocServer32", 0, KEY_READ, &hServer) == ERROR_SUCCESS)
            {
                bFound = ReadString(hServer, nullptr, szPath, iSize) && FileExists(szPath);
                RegCloseKey(hServer);
            }
            RegCloseKey(hClass);
        }
        break;
    }
    RegCloseKey(hClsid);
    return bFound;
}

} // namespace

CAsioDriverList::CAsioDriverList()
{
    HKEY hAsio = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\asio", 0, KEY_READ, &hAsio) == ERROR_SUCCESS)
    {
        AsioDriverEntry** ppTail = &m_pFirst;
        char szKey[129];
        for (DWORD i = 0; RegEnumKeyA(hAsio, i, szKey, sizeof szKey) == ERROR_SUCCESS; ++i)
        {
            HKEY hDriver = nullptr;
            if (RegOpenKeyExA(hAsio, szKey, 0, KEY_READ, &hDriver) != ERROR_SUCCESS)
                continue;
            char szClsid[256];
            char szPath[512];
            if (ReadString(hDriver, "clsid", szClsid, sizeof szClsid) &&
                FindServerPath(szClsid, szPath, sizeof szPath))
            {
                AsioDriverEntry* p = new AsioDriverEntry;
                p->number = m_iNumDrivers++;
                WCHAR wszClsid[256];
                if (MultiByteToWideChar(CP_ACP, 0, szClsid, -1, wszClsid, 256) == 0 ||
                    FAILED(CLSIDFromString(wszClsid, &p->clsid)))
                    p->clsid = CLSID{};
                lstrcpynA(p->szServerPath, szPath, sizeof p->szServerPath);
                if (!ReadString(hDriver, "description", p->szName, sizeof p->szName))
                    lstrcpynA(p->szName, szKey, sizeof p->szName);
                *ppTail = p;
                ppTail = &p->pNext;
            }
            RegCloseKey(hDriver);
        }
        RegCloseKey(hAsio);
    }
    if (m_iNumDrivers > 0)
        CoInitialize(nullptr);
}

CAsioDriverList::~CAsioDriverList()
{
    while (m_pFirst)
    {
        AsioDriverEntry* p = m_pFirst;
        m_pFirst = p->pNext;
        if (p->pDriver)
        {
            if (g_pAsioDriver == p->pDriver)
                g_pAsioDriver = nullptr;
            p->pDriver->Release();
        }
        delete p;
    }
}

const AsioDriverEntry* CAsioDriverList::Entry(int number) const
{
    for (const AsioDriverEntry* p = m_pFirst; p; p = p->pNext)
        if (p->number == number)
            return p;
    return nullptr;
}

long CAsioDriverList::DriverName(int number, char* szName, int iSize) const
{
    if (!szName || iSize < 4)
        return DRVERR_INVALID_PARAM;
    const AsioDriverEntry* p = Entry(number);
    if (!p)
        return DRVERR_DEVICE_NOT_FOUND;
    if (static_cast<int>(std::strlen(p->szName)) < iSize)
    {
        std::strcpy(szName, p->szName);
    }
    else
    {
        std::memcpy(szName, p->szName, static_cast<size_t>(iSize - 4));
        std::strcpy(szName + iSize - 4, "...");
    }
    return 0;
}

long CAsioDriverList::OpenDriver(int number, void** ppDriver)
{
    if (!ppDriver)
        return DRVERR_INVALID_PARAM;
    AsioDriverEntry* p = const_cast<AsioDriverEntry*>(Entry(number));
    if (!p)
        return DRVERR_DEVICE_NOT_FOUND;
    if (p->pDriver)
        return DRVERR_DEVICE_ALREADY_OPEN;
    const HRESULT hr = CoCreateInstance(p->clsid, nullptr, CLSCTX_INPROC_SERVER, p->clsid, ppDriver);
    if (SUCCEEDED(hr))
        p->pDriver = static_cast<IAsioDriver*>(*ppDriver);
    return hr;
}

long CAsioDriverList::CloseDriver(int number)
{
    AsioDriverEntry* p = const_cast<AsioDriverEntry*>(Entry(number));
    if (!p)
        return DRVERR_DEVICE_NOT_FOUND;
    if (p->pDriver)
    {
        p->pDriver->Release();
        p->pDriver = nullptr;
    }
    return 0;
}

bool CAsioDriverList::LoadDriver(const char* szName)
{
    if (!szName)
        return false;
    int iMatch = -1;
    for (int i = 0; i < m_iNumDrivers && iMatch < 0; ++i)
    {
        char szEntry[32];
        if (DriverName(i, szEntry, sizeof szEntry) == 0 && std::strcmp(szEntry, szName) == 0)
            iMatch = i;
    }
    if (iMatch < 0)
        return false;

    char szPrevious[32];
    CurrentDriverName(szPrevious, sizeof szPrevious);
    RemoveCurrentDriver();
    void* pDriver = nullptr;
    if (OpenDriver(iMatch, &pDriver) != S_OK)
    {
        g_pAsioDriver = nullptr;
        if (szPrevious[0] && std::strcmp(szPrevious, szName) != 0)
            LoadDriver(szPrevious);
        return false;
    }
    g_pAsioDriver = static_cast<IAsioDriver*>(pDriver);
    m_iCurrent = iMatch;
    return true;
}

void CAsioDriverList::RemoveCurrentDriver()
{
    if (m_iCurrent != -1)
    {
        const AsioDriverEntry* p = Entry(m_iCurrent);
        if (p && g_pAsioDriver == p->pDriver)
            g_pAsioDriver = nullptr;
        CloseDriver(m_iCurrent);
    }
    m_iCurrent = -1;
}

void CAsioDriverList::CurrentDriverName(char* szName, int iSize) const
{
    szName[0] = '\0';
    if (m_iCurrent != -1)
        DriverName(m_iCurrent, szName, iSize);
}

bool loadAsioDriver(const char* szName)
{
    if (!g_pDriverList)
        g_pDriverList = new (std::nothrow) CAsioDriverList;
    return g_pDriverList && g_pDriverList->LoadDriver(szName);
}

void removeCurrentAsioDriver()
{
    if (g_pDriverList)
        g_pDriverList->RemoveCurrentDriver();
    g_pAsioDriver = nullptr;
}

CAsioDriverList* AsioDriverListInstance()
{
    return g_pDriverList;
}
