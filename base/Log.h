#pragma once
// The diagnostic log: one line per Print call, appended to "Logfile.txt" by opening,
// writing and closing the file, so a crash loses nothing already logged.
#include "base/Lock.h"

#include "base/Types.h"

class CLog
{
public:
    static constexpr int kBufferSize = 1024;

    char m_szFileName[kBufferSize];
    char m_szDirectory[kBufferSize];
    char FileNameNPath[kBufferSize];
    char m_szLine[kBufferSize];

    // "Logfile.txt" in the working directory, emptied and given its header; in
    // the program's per-user folder when the working directory is not writable.
    CLog();
    // The same in the given directory; a null directory makes a silent log that
    // never touches the disk (for command-line tools).
    explicit CLog(const char* szDirectory);
    // Writes the footer.
    ~CLog();

    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    void Print(const char* szText);
    void Print(const char* szText, const char* szText2);
    void Print(const char* szText, int i);
    void Print(const char* szText, DWORD d);
    void Print(const char* szText, float f);

    // System report, in the order start-up calls them. 1 when the line was written.
    int LogPcName();
    int LogWindowsVersion();
    int LogCpuName();
    int LogDirectXVersion();
    void LogMemory();

    bool Enabled() const { return m_bEnabled; }

private:
    // Names the file in szDirectory and creates it with its header; false when it
    // could not be created (or the name is unusable, which disables the log).
    bool Open(const char* szDirectory);
    void WriteLine(const char* szText, const char* szText2);
    // One report line: the label and the value read from the key; 0 when missing.
    int LogValue(const char* szKey, const char* szValue, const char* szLabel);
    // Text, a blank and text2, or the error line for whichever of them is null.
    void PrintPair(const char* szText, const char* szText2, const char* szNullText, const char* szNullText2);

    bool m_bEnabled = true;
    CLock m_Lock;  // one Print at a time: the line buffer is shared
};

// The program's log, constructed before every other global object.
extern CLog g_Log;

// Major Windows version from the system report (0 when unknown or not Windows).
extern int g_iWindowsMajorVersion;
