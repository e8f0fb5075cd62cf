# Shared part of the MinGW-w64 toolchain files. The "-win32" compilers use Windows'
# own threads and critical sections inside the runtime; the "-posix" ones bring a
# thread library that imports functions Windows XP does not have. Our own locks are
# CLock (base/Lock.h) for the same reason.
set(CMAKE_C_COMPILER ${TQ_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TQ_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TQ_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TQ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime, so the programs run without extra DLLs next to them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
