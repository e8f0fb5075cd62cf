#pragma once
// Helpers shared by the test programs.
#include <string>
#include <vector>

// Folder of the checked-in test recordings.
std::string TestDataPath(const std::string& name);

// Folder (made once per run) where the test programs' own log file lives.
const char* TestLogDirectory();

// A FIFO in the test folder (made on first use), whose open blocks until a writer
// comes; empty where the system has none (Windows).
std::string TestFifoPath();

// Lines of a text file; empty when it cannot be read.
std::vector<std::string> ReadTextLines(const std::string& path);

// The lines the program's log (g_Log) has written so far.
std::vector<std::string> LogLines();

// How often a line equal to text appears in the program's log.
int CountLogLines(const std::string& text);

constexpr double kPi = 3.14159265358979323846;
