#pragma once
// Registering the demo driver the way every ASIO driver is registered: the class
// under HKEY_CLASSES_ROOT "CLSID\{...}\InprocServer32" and an entry under
// HKEY_LOCAL_MACHINE "software\asio\<description>" with "CLSID" and "Description".
#include <windows.h>

// The exported entry points (also in the module definition file).
extern "C" HRESULT STDAPICALLTYPE DemoAsioRegister(const char* szDescription);
extern "C" HRESULT STDAPICALLTYPE DemoAsioUnregister();

HRESULT RegisterDemoAsio(const char* szDllPath, const char* szDescription);
// Removes the class and every "software\asio" entry naming it.
HRESULT UnregisterDemoAsio();
