# Cross build of PuTTY (tools/build-putty.sh) for 64-bit Windows with the
# MinGW-w64 posix toolchain. The runtime is linked in statically, so putty.exe
# runs on its own; the defaults otherwise follow PuTTY's own MinGW toolchain file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-ar)
set(CMAKE_RANLIB x86_64-w64-mingw32-ranlib)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

add_compile_definitions(__USE_MINGW_ANSI_STDIO)
set(CMAKE_C_FLAGS_INIT "-Os -ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -Wl,--gc-sections -s")

set(PUTTY_MINEFIELD OFF CACHE BOOL "")
set(PUTTY_GSSAPI ON CACHE BOOL "")
set(PUTTY_LINK_MAPS OFF CACHE BOOL "")
set(PUTTY_EMBEDDED_CHM_FILE "" CACHE FILEPATH "")
