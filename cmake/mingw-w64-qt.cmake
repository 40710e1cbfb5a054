# Cross build of the whole program for 64-bit Windows against the Qt that
# script/qt-windows builds (QUILLON_QT_WINDOWS, its install folder), sharing
# that Qt's C++ runtime DLLs; tried under wine.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-shared.cmake)
list(APPEND CMAKE_PREFIX_PATH ${QUILLON_QT_WINDOWS})
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64)
find_program(QUILLON_WINE NAMES wine64 wine)
if(QUILLON_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLON_WINE})
endif()
