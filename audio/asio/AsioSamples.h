#pragma once
// The portable half of the ASIO host: the answers to the driver's messages, which
// sampling rates the host accepts from a driver, and the block size it asks a
// driver for. The sample conversions are in audio/SampleConversion.h.
#include "audio/SampleConversion.h"

// What a message from the driver asks the host to do, as bits; 0 for questions
// and for what the host ignores.
enum AsioRequest : unsigned
{
    kAsioRequestReset = 1u << 0,       // restart with the driver's new settings
    kAsioRequestBufferSize = 1u << 1,  // the same, with the size the message names
    kAsioRequestRate = 1u << 2,        // the driver changed its rate
    kAsioRequestResync = 1u << 3,      // logged
    kAsioRequestLatencies = 1u << 4,   // logged
};
constexpr unsigned kAsioRestartRequests = kAsioRequestReset | kAsioRequestBufferSize | kAsioRequestRate;
unsigned AsioMessageRequest(long selector);

// The host's answer to asioMessage(selector, value).
long AsioMessageAnswer(long selector, long value);

// The block size to ask the driver for: the size it accepts that is nearest to the
// requested one (the larger of two equally near). Accepted sizes lie within
// [minSize, maxSize] and are multiples of the granularity, or powers of two when
// the granularity is -1; the preferred size when min equals max or when the
// limits admit no size at all.
long ChooseAsioBlockSize(long requested, long minSize, long maxSize, long preferred, long granularity);

// The highest rate the host runs at; a driver rate outside (0, kAsioMaxRate] is
// replaced by kAsioDefaultRate.
constexpr double kAsioMaxRate = 192000.0;
constexpr double kAsioDefaultRate = 48000.0;
inline bool AsioRateUsable(double rate)
{
    return rate > 0.0 && rate <= kAsioMaxRate;
}
