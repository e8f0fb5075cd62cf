#pragma once
// The sample types of the ASIO interface by name and size: facts of the interface
// shared by the host and by anything that stands in for a driver. Portable.

// The interface's own name of a type ("Int24LSB"); null for a number it does not
// define.
const char* AsioSampleTypeName(long type);
// The type of a name, compared without regard to case; -1 for an unknown name.
long AsioSampleTypeOfName(const char* szName);
// True for the types the interface defines (0 to 4, 8 to 11, 16 to 20, 24 to 27,
// 32, 33, 40).
bool IsAsioSampleType(long type);
