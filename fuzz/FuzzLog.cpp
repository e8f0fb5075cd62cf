// The fuzz targets' log: silent, no file anywhere.
#include "app/Log.h"

CLog g_Log(nullptr);
