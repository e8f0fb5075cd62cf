#pragma once
// Numbers typed on a command line, read strictly: the whole text must be the
// number, so "12abc", " 5", hex and "nan" are refused. Range checks are the
// caller's.
#include <string>

// An optional sign and digits. Values too large for an int saturate, so the
// caller's range check reports them.
bool ParseInt(const std::string& s, int* pValue);

// Plain decimal numbers ("1", "0.5", ".5", "2.", "1e-1"); no hex, "inf", "nan" or
// surrounding blanks. Huge values are kept finite, far outside every range.
bool ParseFloat(const std::string& s, float* pValue);
