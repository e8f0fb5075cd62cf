#include "audio/asio/AsioSampleTypes.h"

#include <cctype>

#include "audio/asio/AsioCodes.h"

namespace {

struct TypeFacts
{
    long type;
    const char* szName;
};

constexpr TypeFacts kTypes[] = {
    {ASIOSTInt16MSB, "Int16MSB"},       {ASIOSTInt24MSB, "Int24MSB"},
    {ASIOSTInt32MSB, "Int32MSB"},       {ASIOSTFloat32MSB, "Float32MSB"},
    {ASIOSTFloat64MSB, "Float64MSB"},   {ASIOSTInt32MSB16, "Int32MSB16"},
    {ASIOSTInt32MSB18, "Int32MSB18"},   {ASIOSTInt32MSB20, "Int32MSB20"},
    {ASIOSTInt32MSB24, "Int32MSB24"},   {ASIOSTInt16LSB, "Int16LSB"},
    {ASIOSTInt24LSB, "Int24LSB"},       {ASIOSTInt32LSB, "Int32LSB"},
    {ASIOSTFloat32LSB, "Float32LSB"},   {ASIOSTFloat64LSB, "Float64LSB"},
    {ASIOSTInt32LSB16, "Int32LSB16"},   {ASIOSTInt32LSB18, "Int32LSB18"},
    {ASIOSTInt32LSB20, "Int32LSB20"},   {ASIOSTInt32LSB24, "Int32LSB24"},
    {ASIOSTDSDInt8LSB1, "DSDInt8LSB1"}, {ASIOSTDSDInt8MSB1, "DSDInt8MSB1"},
    {ASIOSTDSDInt8NER8, "DSDInt8NER8"},
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
