// tq-command-recorder: stands in for a system program that the tuner starts (the
// volume mixer, the control panel), so a test can see what was started: it
// appends its own command line to the file named by TQ_COMMAND_LOG and ends. A
// windowed program, as those are: no console is made for it.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char szLog[MAX_PATH];
    const DWORD dwLength = GetEnvironmentVariableA("TQ_COMMAND_LOG", szLog, MAX_PATH);
    if (dwLength == 0 || dwLength >= MAX_PATH)
        return 2;
    std::FILE* f = std::fopen(szLog, "a");
    if (!f)
        return 1;
    std::fprintf(f, "%s\n", GetCommandLineA());
    return std::fclose(f) == 0 ? 0 : 1;
}
