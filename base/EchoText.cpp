#include "base/EchoText.h"

std::string Printable(const std::string& s)
{
    std::string r(s);
    for (char& c : r)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            c = '?';
    }
    return r;
}

std::string Quoted(const std::string& s)
{
    return "'" + Printable(s) + "'";
}
