#pragma once
// Text the tools echo back from their input (paths, options, values): control
// characters, a newline above all, would break the one-line error into several,
// so they are shown as '?'.
#include <string>

std::string Printable(const std::string& s);

// Printable and in single quotes.
std::string Quoted(const std::string& s);
