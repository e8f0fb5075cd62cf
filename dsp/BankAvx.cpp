// The band bank on AVX: four bands in one register of four doubles. This file is
// compiled for AVX; it is called only after the processor check.
#include "dsp/AvxLanes.h"
#include "dsp/BankKernel.h"


bool RunBankAvx(const BankArgs& args)
{
    return RunBank<AvxLanes>(args);
}
