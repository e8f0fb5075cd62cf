#include "audio/wasapi/WasapiFormat.h"

#include "audio/SampleConversion.h"

long WasapiSampleType(const WasapiFormat& f)
{
    if (f.iChannels < 1 || f.iValidBits < 1 || f.iValidBits > f.iContainerBits)
        return -1;
    if (f.bFloat)
        return f.iContainerBits == 32 && f.iValidBits == 32 ? long{ASIOSTFloat32LSB} : -1L;
    if (f.iContainerBits == 16 && f.iValidBits == 16)
        return ASIOSTInt16LSB;
    if (f.iContainerBits == 24 && f.iValidBits == 24)
        return ASIOSTInt24LSB;
    // The sample sits in the upper bits; the ones below it are zero or ignored.
    if (f.iContainerBits == 32 && f.iValidBits >= 16)
        return ASIOSTInt32LSB;
    return -1;
}

int WasapiFrameBytes(const WasapiFormat& f)
{
    return WasapiSampleType(f) < 0 ? 0 : f.iChannels * f.iContainerBits / 8;
}

DriverChannel WasapiChannel(const WasapiFormat& f, void* pFrames, int iChannel)
{
    const int iFrame = WasapiFrameBytes(f);
    if (iFrame == 0 || iChannel < 0 || iChannel >= f.iChannels)
        return {-1, pFrames, 0};
    return {WasapiSampleType(f), static_cast<unsigned char*>(pFrames) + iChannel * f.iContainerBits / 8, iFrame};
}
