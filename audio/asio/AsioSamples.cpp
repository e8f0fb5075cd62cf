#include "audio/asio/AsioSamples.h"

#include "audio/asio/AsioCodes.h"

unsigned AsioMessageRequest(long selector)
{
    switch (selector)
    {
    case kAsioResetRequest: return kAsioRequestReset;
    case kAsioBufferSizeChange: return kAsioRequestBufferSize;
    case kAsioResyncRequest: return kAsioRequestResync;
    case kAsioLatenciesChanged: return kAsioRequestLatencies;
    default: return 0;
    }
}

long AsioMessageAnswer(long selector, long value)
{
    switch (selector)
    {
    case kAsioSelectorSupported:
        // Only what the host acts on or answers with something other than "no".
        return (value == kAsioEngineVersion || value == kAsioResetRequest || value == kAsioBufferSizeChange ||
                value == kAsioResyncRequest || value == kAsioLatenciesChanged || value == kAsioSupportsTimeInfo)
                   ? 1
                   : 0;
    case kAsioEngineVersion:
        return 2;
    case kAsioResetRequest:
    case kAsioBufferSizeChange:
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
    case kAsioSupportsTimeInfo:
        return 1;
    default:
        return 0;
    }
}

long ChooseAsioBlockSize(long requested, long minSize, long maxSize, long preferred, long granularity)
{
    if (minSize == maxSize || minSize < 1 || maxSize < minSize)
        return preferred;
    const long want = requested < minSize ? minSize : (requested > maxSize ? maxSize : requested);
    long below = 0;  // the accepted sizes on either side of the wanted one
    long above = 0;
    if (granularity == -1)
    {
        for (long p = 1; p <= maxSize && p <= (1L << 29); p *= 2)
        {
            if (p < minSize)
                continue;
            if (p <= want)
                below = p;
            if (p >= want && !above)
                above = p;
        }
    }
    else if (granularity > 0)
    {
        const long first = (minSize + granularity - 1) / granularity * granularity;
        const long last = maxSize / granularity * granularity;
        if (first <= last)
        {
            below = want / granularity * granularity;
            above = below == want ? want : below + granularity;
            if (below < first)
                below = 0;
            if (above > last)
                above = 0;
        }
    }
    if (!below && !above)
        return preferred;
    if (!below)
        return above;
    if (!above)
        return below;
    return want - below < above - want ? below : above;
}
