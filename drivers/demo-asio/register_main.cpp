// tq-demo-asio-register: registers the demo ASIO driver under a description of
// our choice (regsvr32 uses the driver's own name), or removes it.
//   tq-demo-asio-register [--description NAME] [--unregister] PATH-TO-DLL
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const char* szDescription = "ASIO4ALL v2";
    const char* szDll = nullptr;
    bool bUnregister = false;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--description") == 0 && i + 1 < argc)
            szDescription = argv[++i];
        else if (std::strcmp(argv[i], "--unregister") == 0)
            bUnregister = true;
        else if (!szDll && argv[i][0] != '-')
            szDll = argv[i];
        else
        {
            std::fprintf(stderr, "tq-demo-asio-register: unknown argument\n");
            return 2;
        }
    }
    if (!szDll)
    {
        std::fprintf(stderr, "usage: tq-demo-asio-register [--description NAME] [--unregister] PATH-TO-DLL\n");
        return 2;
    }
    HMODULE h = LoadLibraryA(szDll);
    if (!h)
    {
        std::fprintf(stderr, "tq-demo-asio-register: cannot load %s (error %lu)\n", szDll, GetLastError());
        return 1;
    }
    typedef HRESULT(STDAPICALLTYPE * RegisterFn)(const char*);
    typedef HRESULT(STDAPICALLTYPE * UnregisterFn)();
    HRESULT hr = E_FAIL;
    if (bUnregister)
    {
        auto fn = reinterpret_cast<UnregisterFn>(reinterpret_cast<void*>(GetProcAddress(h, "DemoAsioUnregister")));
        hr = fn ? fn() : E_NOINTERFACE;
    }
    else
    {
        auto fn = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(h, "DemoAsioRegister")));
        hr = fn ? fn(szDescription) : E_NOINTERFACE;
    }
    FreeLibrary(h);
    if (FAILED(hr))
    {
        std::fprintf(stderr, "tq-demo-asio-register: failed (0x%08lx)\n", static_cast<unsigned long>(hr));
        return 1;
    }
    if (bUnregister)
        std::printf("demo ASIO driver removed\n");
    else
        std::printf("demo ASIO driver registered as \"%s\"\n", szDescription);
    return 0;
}
