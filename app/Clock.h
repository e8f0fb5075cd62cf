#pragma once
// Millisecond clock (the multimedia timer's clock on Windows).
#include "engine/Types.h"

DWORD TimeMs();
