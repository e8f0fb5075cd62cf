// The fuzz targets' log: silent, no file anywhere.
#include "base/Log.h"

CLog g_Log(nullptr);
