#include "audio/asio/AsioSampleTypes.h"

#include <cctype>

#include "audio/asio/AsioCodes.h"

namespace {

struct TypeFacts
{
    long type;
    const char* szName;
    int iBytes;  // 0: not converted by the host
};

constexpr TypeFacts kTypes[] = {
    {ASIOSTInt16MSB, "Int16MSB", 0},       {ASIOSTInt24MSB, "Int24MSB", 0},
    {ASIOSTInt32MSB, "Int32MSB", 0},       {ASIOSTFloat32MSB, "Float32MSB", 0},
    {ASIOSTFloat64MSB, "Float64MSB", 0},   {ASIOSTInt32MSB16, "Int32MSB16", 0},
    {ASIOSTInt32MSB18, "Int32MSB18", 0},   {ASIOSTInt32MSB20, "Int32MSB20", 0},
    {ASIOSTInt32MSB24, "Int32MSB24", 0},   {ASIOSTInt16LSB, "Int16LSB", 2},
    {ASIOSTInt24LSB, "Int24LSB", 3},       {ASIOSTInt32LSB, "Int32LSB", 4},
    {ASIOSTFloat32LSB, "Float32LSB", 4},   {ASIOSTFloat64LSB, "Float64LSB", 8},
    {ASIOSTInt32LSB16, "Int32LSB16", 4},   {ASIOSTInt32LSB18, "Int32LSB18", 4},
    {ASIOSTInt32LSB20, "Int32LSB20", 4},   {ASIOSTInt32LSB24, "Int32LSB24", 4},
    {ASIOSTDSDInt8LSB1, "DSDInt8LSB1", 0}, {ASIOSTDSDInt8MSB1, "DSDInt8MSB1", 0},
    {ASIOSTDSDInt8NER8, "DSDInt8NER8", 0},
};

const TypeFacts* Find(long type)
{
    for (const TypeFacts& t : kTypes)
        if (t.type == type)
            return &t;
    return nullptr;
}

bool SameName(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

} // namespace

const char* AsioSampleTypeName(long type)
{
    const TypeFacts* t = Find(type);
    return t ? t->szName : nullptr;
}

long AsioSampleTypeOfName(const char* szName)
{
    if (szName)
        for (const TypeFacts& t : kTypes)
            if (SameName(t.szName, szName))
                return t.type;
    return -1;
}

bool IsAsioSampleType(long type)
{
    return Find(type) != nullptr;
}

int AsioSampleBytes(long type)
{
    const TypeFacts* t = Find(type);
    return t ? t->iBytes : 0;
}
