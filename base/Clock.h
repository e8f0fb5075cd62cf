#pragma once
// Millisecond clock (the multimedia timer's clock on Windows).
#include "base/Types.h"

DWORD TimeMs();
