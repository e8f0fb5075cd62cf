# Cross build for the product's target: 32-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TQ_MINGW_PREFIX i686-w64-mingw32)
# Floating point on SSE2, as on x86_64 and Linux: the x87 unit's extended precision
# would make the panel's layout and the tuner's figures differ between the targets.
# SSE2 needs a Pentium 4 or Athlon 64 or later. Windows keeps the stack only 4-byte
# aligned in callbacks and new threads, so functions that spill SSE registers
# realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
