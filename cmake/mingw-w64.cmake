# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX thread
# flavour, for std::thread and std::mutex), tried under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Header-only libraries of the build machine, each through a package of
# its own in mingw-w64/ that takes its headers and nothing else.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64)

# Static: the executables run under wine without the compiler's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest runs each test executable through wine.
find_program(QUILLON_WINE NAMES wine64 wine)
if(QUILLON_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLON_WINE})
endif()
