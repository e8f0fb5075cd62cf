#pragma once
// The ASIO driver interface as drivers implement it: the scalar types, the records
// that cross the interface (with the vendor's 4-byte packing), error codes, sample
// types, message selectors and the driver object's method table. Windows only.
#include <objbase.h>

#include <cstddef>
#include <type_traits>

#include "audio/asio/AsioCodes.h"

static_assert(sizeof(long) == 4, "the interface's long is 32 bits on both Windows widths");
// Drivers are built with 4-byte packing; it matters wherever a double or a pointer
// follows 4-byte fields.
#pragma pack(push, 4)

// A 64-bit count as two 32-bit halves, high word first.
struct ASIOSamples
{
    unsigned long hi;
    unsigned long lo;
};
typedef ASIOSamples ASIOTimeStamp;  // nanoseconds

struct ASIODriverInfo
{
    long asioVersion;
    long driverVersion;
    char name[32];
    char errorMessage[124];
    void* sysRef;
};

struct ASIOBufferInfo
{
    ASIOBool isInput;
    long channelNum;
    void* buffers[2];  // the two halves of the double buffer
};

struct ASIOChannelInfo
{
    long channel;
    ASIOBool isInput;
    ASIOBool isActive;
    long channelGroup;
    ASIOSampleType type;
    char name[32];
};

struct ASIOClockSource
{
    long index;
    long associatedChannel;
    long associatedGroup;
    ASIOBool isCurrentSource;
    char name[32];
};

struct ASIOTimeCode
{
    double speed;
    ASIOSamples timeCodeSamples;
    unsigned long flags;
    char future[64];
};

struct AsioTimeInfo
{
    double speed;
    ASIOTimeStamp systemTime;
    ASIOSamples samplePosition;
    ASIOSampleRate sampleRate;
    unsigned long flags;
    char reserved[12];
};

struct ASIOTime
{
    long reserved[4];
    AsioTimeInfo timeInfo;
    ASIOTimeCode timeCode;
};

// The host's callbacks: plain C functions (cdecl on 32-bit x86).
struct ASIOCallbacks
{
    void(__cdecl* bufferSwitch)(long doubleBufferIndex, ASIOBool directProcess);
    void(__cdecl* sampleRateDidChange)(ASIOSampleRate sRate);
    long(__cdecl* asioMessage)(long selector, long value, void* message, double* opt);
    ASIOTime*(__cdecl* bufferSwitchTimeInfo)(ASIOTime* params, long doubleBufferIndex, ASIOBool directProcess);
};

#pragma pack(pop)

constexpr bool kWide = sizeof(void*) == 8;
static_assert(sizeof(ASIOSamples) == 8, "ASIOSamples");
static_assert(sizeof(ASIOTimeCode) == 84, "ASIOTimeCode is 4-byte packed");
static_assert(sizeof(AsioTimeInfo) == 48 && offsetof(AsioTimeInfo, sampleRate) == 24 &&
                  offsetof(AsioTimeInfo, flags) == 32, "AsioTimeInfo");
static_assert(offsetof(ASIOTime, timeInfo) == 16 && offsetof(ASIOTime, timeCode) == 64 && sizeof(ASIOTime) == 148,
              "ASIOTime");
static_assert(offsetof(ASIODriverInfo, errorMessage) == 40 && offsetof(ASIODriverInfo, sysRef) == 164 &&
                  sizeof(ASIODriverInfo) == (kWide ? 172 : 168), "ASIODriverInfo");
static_assert(offsetof(ASIOBufferInfo, buffers) == 8 && sizeof(ASIOBufferInfo) == (kWide ? 24 : 16),
              "ASIOBufferInfo");
static_assert(offsetof(ASIOChannelInfo, type) == 16 && offsetof(ASIOChannelInfo, name) == 20 &&
                  sizeof(ASIOChannelInfo) == 52, "ASIOChannelInfo");
static_assert(offsetof(ASIOClockSource, name) == 16 && sizeof(ASIOClockSource) == 48, "ASIOClockSource");
static_assert(offsetof(ASIOCallbacks, bufferSwitchTimeInfo) == 3 * sizeof(void*) &&
                  sizeof(ASIOCallbacks) == 4 * sizeof(void*), "ASIOCallbacks");

// Drivers are C++ objects built with the platform's usual compiler: on 32-bit x86
// their methods take `this` in ECX and pop their own arguments ("thiscall"), unlike
// IUnknown's three stdcall methods. Spelled out so no compiler default decides it.
#if defined(__i386__)
#define ASIO_METHOD __attribute__((thiscall))
#else
#define ASIO_METHOD
#endif

// COM objects end through Release, never through a destructor call of their user,
// so their classes have no virtual destructor (it would take a slot of the table).
#define ASIO_COM_CLASS_BEGIN _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wnon-virtual-dtor\"")
#define ASIO_COM_CLASS_END _Pragma("GCC diagnostic pop")

// The driver object; its CLSID doubles as the interface id. Slots 3 to 23 follow
// IUnknown's three, in this order.
ASIO_COM_CLASS_BEGIN
class IAsioDriver : public IUnknown
{
public:
    virtual ASIOBool ASIO_METHOD init(void* sysHandle) = 0;
    virtual void ASIO_METHOD getDriverName(char* name) = 0;  // up to 32 bytes
    virtual long ASIO_METHOD getDriverVersion() = 0;
    virtual void ASIO_METHOD getErrorMessage(char* text) = 0;  // up to 124 bytes
    virtual ASIOError ASIO_METHOD start() = 0;
    virtual ASIOError ASIO_METHOD stop() = 0;
    virtual ASIOError ASIO_METHOD getChannels(long* inputs, long* outputs) = 0;
    virtual ASIOError ASIO_METHOD getLatencies(long* input, long* output) = 0;
    virtual ASIOError ASIO_METHOD getBufferSize(long* minSize, long* maxSize, long* preferred, long* granularity) = 0;
    virtual ASIOError ASIO_METHOD canSampleRate(ASIOSampleRate rate) = 0;
    virtual ASIOError ASIO_METHOD getSampleRate(ASIOSampleRate* rate) = 0;
    virtual ASIOError ASIO_METHOD setSampleRate(ASIOSampleRate rate) = 0;
    virtual ASIOError ASIO_METHOD getClockSources(ASIOClockSource* clocks, long* count) = 0;
    virtual ASIOError ASIO_METHOD setClockSource(long index) = 0;
    virtual ASIOError ASIO_METHOD getSamplePosition(ASIOSamples* position, ASIOTimeStamp* time) = 0;
    virtual ASIOError ASIO_METHOD getChannelInfo(ASIOChannelInfo* info) = 0;
    virtual ASIOError ASIO_METHOD createBuffers(ASIOBufferInfo* infos, long count, long bufferSize,
                                                ASIOCallbacks* callbacks) = 0;
    virtual ASIOError ASIO_METHOD disposeBuffers() = 0;
    virtual ASIOError ASIO_METHOD controlPanel() = 0;
    virtual ASIOError ASIO_METHOD future(long selector, void* opt) = 0;
    virtual ASIOError ASIO_METHOD outputReady() = 0;

protected:
    ~IAsioDriver() = default;
};
ASIO_COM_CLASS_END

#if defined(__i386__)
// On 32-bit x86 the convention is part of a method's type, so it can be checked. A
// member pointer type without one is thiscall (the probe proves it); the driver's
// methods must have exactly that type, IUnknown's (stdcall) must not.
struct AsioConventionProbe
{
    long __attribute__((thiscall)) ThisCall();
    long __attribute__((stdcall)) StdCall();
};
typedef long (AsioConventionProbe::*AsioProbeMethod)();
static_assert(std::is_same<decltype(&AsioConventionProbe::ThisCall), AsioProbeMethod>::value &&
                  !std::is_same<decltype(&AsioConventionProbe::StdCall), AsioProbeMethod>::value,
              "a plain member pointer type is thiscall");
typedef ASIOError (IAsioDriver::*AsioNoArgsMethod)();
typedef ASIOError (IAsioDriver::*AsioRateMethod)(ASIOSampleRate);
typedef ASIOError (IAsioDriver::*AsioBuffersMethod)(ASIOBufferInfo*, long, long, ASIOCallbacks*);
typedef ULONG (IUnknown::*AsioReleaseMethod)();
static_assert(std::is_same<decltype(&IAsioDriver::start), AsioNoArgsMethod>::value &&
                  std::is_same<decltype(&IAsioDriver::outputReady), AsioNoArgsMethod>::value &&
                  std::is_same<decltype(&IAsioDriver::setSampleRate), AsioRateMethod>::value &&
                  std::is_same<decltype(&IAsioDriver::createBuffers), AsioBuffersMethod>::value,
              "driver methods are thiscall");
static_assert(!std::is_same<decltype(&IUnknown::Release), AsioReleaseMethod>::value,
              "IUnknown's methods are stdcall");
#endif
