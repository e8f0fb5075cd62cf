#include "app/InstallPath.h"

namespace {

// No registry here: the program keeps its defaults and writes no settings file.
InstallPathRead ReadInstallPathPosix(char* szOut, int iSize)
{
    if (szOut && iSize > 0)
        szOut[0] = '\0';
    return InstallPathRead::KeyMissing;
}

} // namespace

InstallPathReader g_pReadInstallPath = &ReadInstallPathPosix;
