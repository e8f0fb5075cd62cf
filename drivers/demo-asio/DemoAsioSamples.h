#pragma once
// The demo driver's own sample code: how its hardware would lay out one sample of
// each type. Deliberately plain and separate from the host's conversions, so that
// streaming through the driver checks the host against an independent reference.
// Values are in the engine's 16-bit scale (full scale 32768).

// Bytes one sample of the type takes; 0 for a number that is no type.
int DemoSampleBytes(long type);

// Writes v as one sample of the type at p (DemoSampleBytes(type) bytes, any
// alignment), rounded and saturated to the type's range. Big-endian and DSD
// types are written as zeros: this hardware does not speak them.
void EncodeDemoSample(long type, double v, unsigned char* p);

// The value of the sample of the type at p; 0 for big-endian and DSD types.
double DecodeDemoSample(long type, const unsigned char* p);
