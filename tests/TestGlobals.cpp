// The test programs' own log, in a temporary folder, so tests can read what the
// engine logs without touching the working directory.
#include "base/Log.h"
#include "tests/TestSupport.h"

CLog g_Log(TestLogDirectory());
