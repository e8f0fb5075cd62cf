#pragma once
// The installed ASIO drivers, read once from HKEY_LOCAL_MACHINE "software\asio",
// and the loader that makes one of them the process's current driver. Windows only.
#include "audio/asio/AsioInterface.h"

// One registered driver, in registry order.
struct AsioDriverEntry
{
    int number = 0;                    // position in the list, 0 first
    CLSID clsid = {};                  // all zero when the registry string does not parse
    char szServerPath[512] = {};       // the driver DLL
    char szName[128] = {};             // "description", else the key name
    IAsioDriver* pDriver = nullptr;    // while loaded
    AsioDriverEntry* pNext = nullptr;
};

// Results of the list operations besides HRESULTs.
enum : long
{
    DRVERR_INVALID_PARAM = -5001,
    DRVERR_DEVICE_ALREADY_OPEN = -5002,
    DRVERR_DEVICE_NOT_FOUND = -5003,
};

class CAsioDriverList
{
public:
    // Builds the list from the registry; calls CoInitialize when it found a driver.
    CAsioDriverList();
    // Closes what is still open (the process-wide list is never destroyed).
    ~CAsioDriverList();
    CAsioDriverList(const CAsioDriverList&) = delete;
    CAsioDriverList& operator=(const CAsioDriverList&) = delete;

    int NumDrivers() const { return m_iNumDrivers; }
    int CurrentIndex() const { return m_iCurrent; }
    const AsioDriverEntry* Entry(int number) const;

    // Copies the name; one as long as the buffer or longer is cut to size - 4
    // characters and "...". 0, or DRVERR_DEVICE_NOT_FOUND / DRVERR_INVALID_PARAM.
    long DriverName(int number, char* szName, int iSize) const;
    // CoCreateInstance of the entry's class; its HRESULT, or a DRVERR_ code.
    long OpenDriver(int number, void** ppDriver);
    long CloseDriver(int number);

    // Makes the first driver of that (cut) name current; on failure the one loaded
    // before is loaded again.
    bool LoadDriver(const char* szName);
    void RemoveCurrentDriver();
    // The current driver's name, empty when none.
    void CurrentDriverName(char* szName, int iSize) const;

private:
    AsioDriverEntry* m_pFirst = nullptr;
    int m_iNumDrivers = 0;
    int m_iCurrent = -1;
};

// The current driver's interface; every ASIO call goes through it. Null when none.
extern IAsioDriver* g_pAsioDriver;

// Loads the named driver through the process-wide list (made at the first call).
bool loadAsioDriver(const char* szName);
// Unloads the current driver, if any, and forgets the interface.
void removeCurrentAsioDriver();
// The process-wide list, null before the first loadAsioDriver.
CAsioDriverList* AsioDriverListInstance();
