# Cross build for 32-bit Windows with mingw-w64 (i686-w64-mingw32), the
# platform the host application runs on. Test programs run under Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(ELVARIN_MINGW_TRIPLE i686-w64-mingw32)

# Debian ships two flavours of the compiler: "-win32" (native Windows threads)
# and "-posix" (winpthreads). GCC 12's win32 flavour has no std::mutex, which
# GoogleTest needs on Windows, so use the posix one whatever the alternatives
# system points the plain name at; winpthreads is linked in statically below.
find_program(ELVARIN_MINGW_CC NAMES ${ELVARIN_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(ELVARIN_MINGW_CXX NAMES ${ELVARIN_MINGW_TRIPLE}-g++-posix REQUIRED)
set(CMAKE_C_COMPILER ${ELVARIN_MINGW_CC})
set(CMAKE_CXX_COMPILER ${ELVARIN_MINGW_CXX})
set(CMAKE_RC_COMPILER ${ELVARIN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ELVARIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic for all code: the x87 unit keeps intermediates in extended
# precision (or at whatever precision the host process left it), so results
# would depend on the host. With -mfpmath=sse, FLT_EVAL_METHOD is 0 and a float
# or double is rounded at every operation. The incoming stack alignment is left
# at mingw's default (4 bytes, realigned where SSE values need it): a 32-bit
# Windows host promises no more.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# libgcc, libstdc++ and winpthreads are linked in (-static makes the driver
# take their archives, not their import libraries), so a DLL or program needs
# nothing beyond system DLLs (msvcrt.dll among them) and qvapilib.dll, which is
# linked by its full import-library path. The C runtime itself stays the
# system's msvcrt.dll, shared by the host and every plug-in.
set(ELVARIN_MINGW_STATIC "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ELVARIN_MINGW_STATIC}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${ELVARIN_MINGW_STATIC}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${ELVARIN_MINGW_STATIC}")

# Test programs are Windows programs; CTest runs them through Wine.
find_program(ELVARIN_WINE NAMES wine wine-stable)
if(ELVARIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ELVARIN_WINE})
endif()
