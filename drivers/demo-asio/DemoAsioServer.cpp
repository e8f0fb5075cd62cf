// The demo driver's DLL: its class factory and the four entry points of an
// in-process COM server, plus registration under a chosen description and the
// counters tests read.
#include <windows.h>
#include <olectl.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "drivers/demo-asio/DemoAsioDiagnostics.h"
#include "drivers/demo-asio/DemoAsioDriver.h"
#include "drivers/demo-asio/DemoAsioRegistry.h"

namespace {

HMODULE g_hModule = nullptr;
std::atomic<long> g_lLocks{0};

ASIO_COM_CLASS_BEGIN
class CDemoAsioFactory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory))
        {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // One static object: reference counts play no part.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pOuter)
            return CLASS_E_NOAGGREGATION;
        CDemoAsioDriver* p = new (std::nothrow) CDemoAsioDriver;
        if (!p)
            return E_OUTOFMEMORY;
        const HRESULT hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL bLock) override
    {
        g_lLocks += bLock ? 1 : -1;
        return S_OK;
    }
};
ASIO_COM_CLASS_END

CDemoAsioFactory g_Factory;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        g_hModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_TonquarryDemoAsio))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_Factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return (g_lDemoAsioObjects.load() == 0 && g_lLocks.load() == 0) ? S_OK : S_FALSE;
}

// regsvr32: the description comes from TQ_DEMO_ASIO_DESCRIPTION when set.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    const char* szDescription = std::getenv("TQ_DEMO_ASIO_DESCRIPTION");
    return DemoAsioRegister(szDescription && *szDescription ? szDescription : kDemoAsioName);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return DemoAsioUnregister();
}

extern "C" HRESULT STDAPICALLTYPE DemoAsioRegister(const char* szDescription)
{
    char szPath[MAX_PATH];
    const DWORD n = GetModuleFileNameA(g_hModule, szPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return SELFREG_E_CLASS;
    return RegisterDemoAsio(szPath, szDescription);
}

extern "C" HRESULT STDAPICALLTYPE DemoAsioUnregister()
{
    return UnregisterDemoAsio();
}

extern "C" HRESULT STDAPICALLTYPE DemoAsioDiagnostics(DemoAsioCounters* p)
{
    if (!p)
        return E_POINTER;
    p->guardFaults = g_lDemoGuardFaults.load(std::memory_order_relaxed);
    p->callsFromCallback = g_lDemoCallsFromCallback.load(std::memory_order_relaxed);
    p->requestsSent = g_lDemoRequestsSent.load(std::memory_order_relaxed);
    p->lastInitWindow = g_pDemoLastInitWindow.load(std::memory_order_relaxed);
    return S_OK;
}
